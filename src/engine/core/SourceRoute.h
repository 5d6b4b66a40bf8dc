#pragma once
// Where one source's requests go: the link it was given, or the redirect target the link
// last sent a connection to, which the other connections then use directly. A target may go
// away at any time (a CDN node that stops holding the file or goes down, a signed address
// that expires); the link is then asked again for a fresh one.
//
// Each request carries the visit it was sent on: one arrival at a target through a redirect.
// Many connections share a visit and their answers arrive in any order, so what an answer
// means is judged against its own visit, never against what the source uses by the time the
// answer arrives:
// - a target that delivered the file through a visit and then answers 403/404/410, or can
//   no longer be reached, has gone away: that says nothing against the link, and does not
//   count against the source;
// - a target that never delivered through its visit is a dead end the link sent us to: that
//   counts against the source, once per visit however many connections meet it.
// The link itself is never left: a link that cannot be reached is an outage, which the
// source's health rides out however long it lasts.
// Pure bookkeeping: the caller holds its lock around every call.

#include <memory>

#include "engine/core/TaskUrl.h"

namespace vexa::engine {

class SourceRoute {
public:
    struct Visit {
        explicit Visit(const HttpUrl& u) : url(u) {}
        HttpUrl url;
        bool served = false;   // a usable reply came through this visit
        bool counted = false;  // its dead end was counted against the source
    };
    // Null for the link itself.
    using VisitRef = std::shared_ptr<Visit>;

    explicit SourceRoute(const HttpUrl& link) : link_(link) {}

    const HttpUrl& Link() const { return link_; }
    // Where a new request goes, and the visit it goes on.
    const HttpUrl& CurrentUrl() const { return current_ ? current_->url : link_; }
    VisitRef Current() const { return current_; }

    // A connection was redirected to `target`: a new visit, which new requests follow.
    VisitRef Redirected(const HttpUrl& target);
    // A usable reply came through `visit`.
    void Served(const VisitRef& visit);
    // `visit` answered 403/404/410. New requests go back to the link unless another
    // connection has already moved the source on. True when this counts against the source.
    bool Vanished(const VisitRef& visit);
    // The network did not carry a request through `visit`: refused, unreachable, reset,
    // timed out or stalled. Judged as a vanished target, since a target that is down leaves
    // only its link to ask; a visit that was redirected back to the link itself is the link,
    // and is left alone (an outage is not the link's fault).
    bool Unreachable(const VisitRef& visit);

private:
    bool LeaveVisit(const VisitRef& visit);

    HttpUrl link_;
    VisitRef current_;
};

}  // namespace vexa::engine
