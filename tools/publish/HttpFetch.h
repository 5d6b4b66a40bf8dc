#pragma once
// A small blocking HTTP/1.1 client for the publisher's checks: one GET per connection, with
// an optional Range, the body handed over piece by piece so that nothing large is held.

#include <cstdint>
#include <functional>
#include <string>

#include "base/UserAgent.h"
#include "engine/core/EngineUserAgent.h"
#include "engine/core/HttpResponseHead.h"

namespace publish {

// Called with the head of the answer; returning false leaves the body unread.
using HeadCheck = std::function<bool(const vexa::engine::HttpResponseHead& head)>;

struct FetchRequest {
    std::string url;  // http:// only; non-ASCII is sent percent-encoded as UTF-8
    bool ranged = false;
    uint64_t first = 0;
    uint64_t last = 0;  // inclusive
    int timeoutMs = 10000;
    // Files go through the engine; the document and the skin image through the program's
    // WinInet client (kProgramUserAgent).
    const char* userAgent = kEngineUserAgent;
    HeadCheck onHead;  // optional
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

// One exchange. The body of a redirect is not read.
FetchResult Fetch(const FetchRequest& request, const BodySink& sink);

}  // namespace publish
