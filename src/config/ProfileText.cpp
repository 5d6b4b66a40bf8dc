#include "config/ProfileText.h"

#include <vector>

namespace {

constexpr DWORD kFirstBufferChars = 4096;
// A ceiling far above any real document; it only keeps a hostile file from exhausting memory.
constexpr DWORD kLargestBufferChars = 64u * 1024 * 1024;

}  // namespace

std::wstring ReadProfileText(const wchar_t* section, const wchar_t* key, const std::wstring& path) {
    DWORD capacity = kFirstBufferChars;
    for (;;) {
        std::vector<wchar_t> buffer(capacity, L'\0');
        DWORD length =
            ::GetPrivateProfileStringW(section, key, L"", buffer.data(), capacity, path.c_str());
        // A value that filled the buffer may have been cut: read it again with more room.
        if (length + 1 < capacity || capacity >= kLargestBufferChars) {
            return std::wstring(buffer.data(), length < capacity ? length : capacity - 1);
        }
        capacity *= 2;
    }
}
