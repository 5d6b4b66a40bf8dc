#pragma once
// What a reply says about the file's size, and how large a file may become. A server's
// word is all the engine has about the size (the task names none), so a size no real file
// has (near 2^63 or 2^64) or a stream that never ends is refused here, before anything is
// planned, allocated or written for it.

#include <cstdint>

#include "engine/core/HttpResponseHead.h"
#include "engine/core/ReplyRule.h"

namespace vexa::engine {

// The largest file the engine downloads unless the tuning says otherwise. The progress
// record keeps a bit per block, so this also bounds that map (2 MiB at 64 KiB blocks).
constexpr uint64_t kDefaultMaxFileSize = 1ull << 40;

enum class FirstReplyKind {
    Ranged,    // a 206 from the first byte: the size is known, Range works
    Whole,     // a 200 with a length: read as one stream from the start
    Chunked,   // a 200 in chunks without a length: the size is known at its last chunk
    TooLarge,  // the file is larger than allowed: the task ends
    NoLength,  // neither a length nor chunks: no way to know the file is whole
    Unusable,  // a 206 that does not fit the request: an answer of no use
};

struct FirstReplyPlan {
    FirstReplyKind kind = FirstReplyKind::Unusable;
    uint64_t total = 0;       // the file's size (Ranged, Whole)
    uint64_t bodyLength = 0;  // the bytes this reply carries from offset 0 (Ranged, Whole)
};

// The reply to the first request (bytes from 0), which sizes the file.
FirstReplyPlan PlanFirstReply(const HttpResponseHead& head, uint64_t maxFileSize);

// True when `length` more bytes written at `offset` keep the file within `maxFileSize`.
bool FitsFileCap(uint64_t offset, uint64_t length, uint64_t maxFileSize);

enum class UnsatisfiableAction {
    Complete,   // every byte is there already
    EmptyFile,  // the first request met an empty file: the download is done
    OtherFile,  // the file is no longer the size planned: the origin starts over, a seed goes
    Fail,       // an answer of no use (FailureOfStatus(416))
};

// A 416 to a range request. `complete`: the plan has every byte. Judged against the
// download as it is now (context.planned, knownTotal, startedOver).
UnsatisfiableAction JudgeUnsatisfiable(const ContentRange& range, const ReplyContext& context,
                                       bool complete);

}  // namespace vexa::engine
