#pragma once
// The two inputs of a retry decision that come from the system: spread and the server's
// own wish.

#include <cstdint>

#include "engine/core/HttpResponseHead.h"

namespace vexa::engine {

// Any 32-bit value, different per thread and run, so connections do not retry in step.
uint32_t RandomBits();

// The reply's Retry-After in seconds from now, or -1 when it names none.
long long RetryAfterOf(const HttpResponseHead& head);

}  // namespace vexa::engine
