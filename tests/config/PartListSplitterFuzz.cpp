// Fuzzes the splitting of the document's three comma lists. The input is three texts
// separated by 0x00 bytes; each byte becomes one character.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/PartListSplitter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring lists[3];
    int index = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && index < 2) {
            ++index;
            continue;
        }
        lists[index].push_back(static_cast<wchar_t>(data[i]));
    }
    std::deque<PackageFile> parts = SplitPartLists(lists[0], lists[1], lists[2]);
    if (parts.empty()) abort();
    size_t characters = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        const PackageFile& part = parts[i];
        characters += part.link.size() + part.md5.size();
        // Every record but the last holds items taken before a comma.
        if (i + 1 < parts.size() && (part.link.find(L',') != std::wstring::npos ||
                                     part.md5.find(L',') != std::wstring::npos)) {
            abort();
        }
    }
    // Items never hold more than their list had.
    if (characters > lists[1].size() + lists[2].size()) abort();
    // Each record but the last consumed at least one comma of some list.
    size_t commas = 0;
    for (const std::wstring& list : lists) {
        for (wchar_t c : list) commas += c == L',';
    }
    if (parts.size() - 1 > commas) abort();
    return 0;
}
