#include "transfer/Fingerprint.h"

ByteSpan FingerprintSpan(uint64_t fileSize) {
    ByteSpan span;
    span.length = fileSize < kFingerprintWindow ? fileSize : kFingerprintWindow;
    span.offset = fileSize - span.length;
    return span;
}

void CFingerprintHasher::Update(const void* data, size_t length) {
    received_ += length;
    if (received_ <= span_.length) md5_.Update(data, length);
}

bool CFingerprintHasher::Final(Md5Bytes* digest) {
    digest->fill(0);
    if (span_.length == 0 || received_ != span_.length) return false;
    *digest = md5_.Final();
    return true;
}
