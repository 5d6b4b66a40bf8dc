#pragma once
// Bytes as lower-case hexadecimal text and back, for digests, keys and signatures that people
// compare and documents carry.

#include <cstddef>
#include <cstdint>
#include <string>

std::string HexText(const uint8_t* bytes, size_t length);

// The value of one hexadecimal digit of either case; -1 for any other character.
int HexDigitValue(char c);

// Exactly 2 * length hexadecimal digits of either case; false (and `bytes` unspecified) for
// any other text.
bool ParseHexText(const std::string& text, uint8_t* bytes, size_t length);
