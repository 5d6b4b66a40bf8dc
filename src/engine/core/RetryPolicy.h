#pragma once
// How one source is treated after it fails: exponential backoff with jitter, Retry-After,
// fewer connections for a server that says it is overloaded, and dropping a source that
// keeps answering wrongly or can never serve the file. A network that does not carry our
// bytes (an outage, a dead route, a server that is restarting) says nothing about the
// source: it is retried every few seconds for as long as the task runs.

#include <cstdint>

namespace vexa::engine {

enum class FailureKind {
    Transport,  // refused, unreachable, reset, time-out, no answer, cut short: never drops
    Refused,    // a transport failure that comes from the server (refused or reset on
                // connect): one connection fewer, otherwise as Transport
    Transient,  // an answer that is of no use: 5xx, a reply that breaks the protocol
    Throttled,  // 429 or 503: wait as asked and open fewer connections
    Fatal,      // 404/410, wrong size, no Range support where it is needed
};

struct RetrySettings {
    uint32_t baseDelayMs = 500;
    uint32_t maxDelayMs = 30000;
    int maxConsecutiveFailures = 8;
    uint32_t transportMaxDelayMs = 1500;  // the network comes back: notice it soon
};

// Delay before the next attempt after `failures` failures in a row (1, 2, ...), spread
// over [d/2, d] by `random` (any 32-bit value) so that connections do not retry in step.
uint32_t BackoffDelayMs(int failures, uint32_t random, const RetrySettings& settings);

class SourceHealth {
public:
    SourceHealth(int maxConnections, const RetrySettings& settings)
        : connectionLimit_(maxConnections < 1 ? 1 : maxConnections), settings_(settings) {}

    // The round a request is sent in. Every counted answer of no use starts a new round.
    uint64_t Round() const { return round_; }
    // retryAfterSeconds < 0 when the server gave none. `sentInRound` is Round() when the
    // failed request was sent: an answer of no use to a request sent before the last counted
    // one tells of the same moment of the server (connections fail together), so it honours
    // Retry-After but neither adds to the run of bad answers nor costs another connection.
    void OnFailure(FailureKind kind, uint64_t nowMs, long long retryAfterSeconds, uint32_t random,
                   uint64_t sentInRound);
    // Data arrived: the source works again.
    void OnProgress() { consecutiveFailures_ = transportFailures_ = 0; }

    bool Dropped() const { return dropped_; }
    bool ReadyAt(uint64_t nowMs) const { return !dropped_ && nowMs >= notBeforeMs_; }
    uint64_t NotBeforeMs() const { return notBeforeMs_; }
    int ConnectionLimit() const { return connectionLimit_; }
    int ConsecutiveFailures() const { return consecutiveFailures_; }
    void Drop() { dropped_ = true; }

private:
    int connectionLimit_;
    RetrySettings settings_;
    int consecutiveFailures_ = 0;  // answers of no use in a row
    uint64_t round_ = 0;
    int transportFailures_ = 0;  // in a row, for the backoff only
    uint64_t notBeforeMs_ = 0;
    bool dropped_ = false;
};

}  // namespace vexa::engine
