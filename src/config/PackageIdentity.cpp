#include "config/PackageIdentity.h"

#include <cwchar>
#include <memory>
#include <vector>

namespace {

std::wstring OwnModulePath() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    return std::wstring(path, length);
}

}  // namespace

BOOL QueryPackageId(wchar_t* buffer, const wchar_t* path) {
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) return FALSE;
    std::vector<BYTE> block(size, 0);  // freed on every path
    if (!::GetFileVersionInfoW(path, 0, size, block.data())) return FALSE;

    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                          reinterpret_cast<void**>(&translations), &length) ||
        length < sizeof(Translation) || !translations) {
        return FALSE;
    }

    wchar_t query[50] = {};
    int formatted = _snwprintf(query, 50, L"\\StringFileInfo\\%04x%04x\\FileDescription",
                               translations[0].language, translations[0].codePage);
    if (formatted < 0 || formatted >= 50) return FALSE;

    wchar_t* value = nullptr;
    UINT valueChars = 0;
    if (!::VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&value), &valueChars) ||
        !value) {
        return FALSE;
    }
    // The value is not trusted to be terminated within its stated length.
    size_t copied = 0;
    while (copied < kPackageIdMaxChars && copied < valueChars && value[copied] != L'\0') {
        buffer[copied] = value[copied];
        ++copied;
    }
    buffer[copied] = L'\0';
    return TRUE;
}

std::wstring ReadOwnPackageId() {
    std::wstring path = OwnModulePath();
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[kPackageIdMaxChars + 1]());
    QueryPackageId(buffer.get(), path.c_str());
    return std::wstring(buffer.get());
}

std::wstring ReadFileVersionText(const wchar_t* path) {
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) return std::wstring();
    // The usual fixed buffer; a larger block gets a buffer of its own size, so the whole
    // block is read and nothing is ever looked at past the buffer's end.
    DWORD capacity = size > kVersionTextBufferBytes ? size : DWORD(kVersionTextBufferBytes);
    std::unique_ptr<BYTE[]> block(new BYTE[capacity]());
    if (!::GetFileVersionInfoW(path, 0, capacity, block.get())) return std::wstring();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.get(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        !fixed || length < sizeof(VS_FIXEDFILEINFO)) {
        return std::wstring();
    }
    wchar_t text[64] = {};
    _snwprintf(text, 63, L"%d.%d.%d.%d", HIWORD(fixed->dwFileVersionMS),
               LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
               LOWORD(fixed->dwFileVersionLS));
    return text;
}

std::wstring ReadOwnVersionText() {
    std::wstring path = OwnModulePath();
    return ReadFileVersionText(path.c_str());
}
