#include "transfer/HttpBodyReader.h"

HttpBodyOutcome ReadHttpBody(IHttpBodySource& source, IHttpBodySink* sink, HttpBodyLength length,
                             IHttpBodyProgress* progress) {
    HttpBodyOutcome outcome;
    uint8_t buffer[kHttpReadChunkBytes];
    const uint32_t total = length.known ? length.bytes : 0;
    for (;;) {
        uint32_t got = 0;
        if (!source.Read(buffer, kHttpReadChunkBytes, &got)) return outcome;  // read error
        if (got == 0) break;
        if (got > kHttpReadChunkBytes) return outcome;  // a source that overran the buffer
        if (sink && !sink->Write(buffer, got)) return outcome;
        outcome.received += got;
        if (progress && outcome.reads % kHttpProgressEveryReads == 0) {
            progress->OnBodyProgress(static_cast<uint32_t>(outcome.received), total);
        }
        ++outcome.reads;
        if (length.known && outcome.received >= length.bytes) break;
    }
    outcome.complete = !length.known || outcome.received >= length.bytes;
    return outcome;
}
