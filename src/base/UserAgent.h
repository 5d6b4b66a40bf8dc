#pragma once
// The user agent of every WinInet request the program and its crash-dump uploader make, and
// the one the publisher's check sends to ask as they do. A server may treat it specially.

#include <cstddef>

constexpr char kProgramUserAgent[] = "Mozila/4.0 (compatible; MSIE 5.0; QUILLET)";

// The same text for the wide-character interfaces, made from the one above.
template <size_t N>
struct CWideLiteral {
    wchar_t text[N];
};

template <size_t N>
constexpr CWideLiteral<N> WidenAscii(const char (&ascii)[N]) {
    CWideLiteral<N> wide{};
    for (size_t i = 0; i < N; ++i) wide.text[i] = static_cast<wchar_t>(ascii[i]);
    return wide;
}

constexpr CWideLiteral<sizeof kProgramUserAgent> kProgramUserAgentWide =
    WidenAscii(kProgramUserAgent);
