#include "engine/RetryTiming.h"

#include <windows.h>

#include <random>

namespace vexa::engine {

uint32_t RandomBits() {
    thread_local std::minstd_rand rng(GetCurrentThreadId() ^ static_cast<unsigned>(GetTickCount()));
    return static_cast<uint32_t>(rng());
}

long long RetryAfterOf(const HttpResponseHead& head) {
    if (!head.hasRetryAfter) return -1;
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
    long long unixNow = static_cast<long long>(t.QuadPart / 10000000ULL) - 11644473600LL;
    return RetryAfterSeconds(head.retryAfter, unixNow);
}

}  // namespace vexa::engine
