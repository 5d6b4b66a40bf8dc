#pragma once
// A small blocking HTTP/1.1 client for the publisher's checks: one GET per connection, with
// an optional Range, the body handed over piece by piece so that nothing large is held.

#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/HttpResponseHead.h"

namespace publish {

// The user agent the program sends, so a server that treats it specially is checked as such.
constexpr char kProgramUserAgent[] = "Mozila/4.0 (compatible; MSIE 5.0; QUILLET)";

struct FetchRequest {
    std::string url;  // http:// only; non-ASCII is sent percent-encoded as UTF-8
    bool ranged = false;
    uint64_t first = 0;
    uint64_t last = 0;  // inclusive
    int timeoutMs = 10000;
};

struct FetchResult {
    bool connected = false;  // a well-formed answer arrived
    std::string error;       // why not, or why the body ended early
    vexa::engine::HttpResponseHead head;
    uint64_t bodyBytes = 0;
    uint64_t wireBytes = 0;  // head and body as received
    bool bodyComplete = false;
};

// Called with each piece of the body; returning false stops reading (the connection closes).
using BodySink = std::function<bool(const char* data, size_t size)>;

FetchResult Fetch(const FetchRequest& request, const BodySink& sink);

}  // namespace publish
