#pragma once
// Reading decimal numbers out of configuration and state texts.

#include <cstdint>
#include <string>

// Reads a decimal unsigned 64-bit number the way "%I64u " does: leading blanks skipped, an
// optional "+", digits up to the first non-digit. Nothing readable, a "-" sign or a value
// beyond 64 bits gives 0.
uint64_t ParseUnsignedDecimal(const std::wstring& text);
