#pragma once
// Conversions between wide texts and the byte forms a document may take on the wire.
// Portable: wide characters are UTF-16 units on Windows and code points elsewhere.

#include <string>

std::wstring WideFromUtf8(const std::string& bytes);  // invalid sequences become U+FFFD
std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf16(const std::string& bytes, bool bigEndian);
std::string Utf16LeFromWide(const std::wstring& text);

// The text without the blanks (space, tab, line breaks) at either end.
std::wstring TrimBlanks(const std::wstring& text);
