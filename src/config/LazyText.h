#pragma once
// Derived texts are built on the first request that finds them empty and then kept; a
// build that gives nothing is tried again on the next request.

#include <string>

template <class Build>
const std::wstring& BuildOnce(std::wstring& text, Build build) {
    if (text.empty()) text = build();
    return text;
}
