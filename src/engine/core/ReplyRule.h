#pragma once
// What a connection does with the head of the reply to one of its range requests. The rule
// is pure: the task reads what it needs under its lock, asks here, and then makes the state
// changes the verdict names.

#include <cstdint>

#include "engine/core/HttpResponseHead.h"
#include "engine/core/RetryPolicy.h"
#include "engine/core/TaskUrl.h"

namespace vexa::engine {

struct ReplyContext {
    bool firstReply = false;   // the file's size is not known yet: this request sizes it
    bool planned = false;      // the size is known and the download planned
    bool fromOrigin = false;   // the link itself, not a seed
    bool redirected = false;   // the request went to a redirect target, not the link given
    uint64_t from = 0;         // first byte asked for
    uint64_t to = 0;           // end of the connection's span: the reply must stop before it
    uint64_t knownTotal = 0;   // the file's size as planned
    bool startedOver = false;  // the download started over since the request was sent
};

enum class ReplyAction {
    AcceptFirst,         // the first answer: it sizes the file
    ReadBody,            // the range as asked: read `bodyLength` bytes
    RestartChangedFile,  // the file on the origin changed: start over
    CheckUnsatisfiable,  // 416: the file may be complete, empty or resized; else FailureOfStatus
    BackToOriginalLink,  // the redirect target went away: use the link given again
    Discard,             // bytes of a download that has started over: no use, no failure
    Fail,                // count the attempt against the source as `failure`
};

struct ReplyVerdict {
    ReplyAction action = ReplyAction::Fail;
    FailureKind failure = FailureKind::Transient;  // for Fail
    uint64_t bodyLength = 0;                       // for ReadBody
};

ReplyVerdict ClassifyReply(const HttpResponseHead& head, const ReplyContext& context);

enum class ChangeAction {
    AlreadyDone,  // another connection has started over since this one saw the change
    StartOver,
    GiveUp,  // the origin keeps changing (mixed servers behind one name): drop it
};

// A connection found the origin's file changed while the download was in `seenGeneration`.
// Connections that meet one change together report it together: only the first report of a
// generation acts, so the others can neither start over twice nor spend the restart budget.
ChangeAction OnOriginChanged(uint64_t seenGeneration, uint64_t generation, int restarts,
                             int maxRestarts);

enum class RedirectStep {
    None,    // not a redirect (or one without a target): judge the reply itself
    Follow,  // ask the target named
    GiveUp,  // too many hops, or a target that is no http address: the source is of no use
};

// A reply's head before its status is judged. `hop` counts the redirects followed for this
// request so far; `next` receives the target to follow.
RedirectStep NextRedirect(const HttpResponseHead& head, const HttpUrl& asked, int hop,
                          int maxRedirects, HttpUrl& next);

struct BrokenExchange {
    FailureKind failure = FailureKind::Transport;
    bool leaveTarget = false;  // requests go back from a redirect target to the link
};

// An exchange that brought no usable reply (nothing, a broken head, a body cut short or
// stalled). A head that arrived but makes no sense is the server's fault, not the
// network's. A refusal while other connections to the server work says it wants fewer;
// with none working, the server is down or restarting, an outage like any other. A
// redirect target may be down for good, though (a node that failed), and the link would
// name a live one.
BrokenExchange JudgeBrokenExchange(bool headMalformed, bool refused, bool othersWork);

// How a reply that brings no usable bytes counts against its source. Throttled replies carry
// a Retry-After the caller honours.
FailureKind FailureOfStatus(int status);

}  // namespace vexa::engine
