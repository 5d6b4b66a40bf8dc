#include "app/CrashReportText.h"

namespace {

size_t Length(const wchar_t* text) {
    size_t length = 0;
    while (text[length] != L'\0') ++length;
    return length;
}

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool IsForbiddenInFolderName(wchar_t c) {
    if (c < 0x20) return true;
    switch (c) {
        case L'<':
        case L'>':
        case L'"':
        case L'|':
        case L'?':
        case L'*':
        case L':':
        case L'/':
            return true;
        default:
            return false;
    }
}

}  // namespace

bool AppendText(wchar_t* buffer, size_t capacity, const wchar_t* text) {
    if (capacity == 0) return false;
    size_t at = Length(buffer);
    while (*text != L'\0' && at + 1 < capacity) buffer[at++] = *text++;
    buffer[at] = L'\0';
    return *text == L'\0';
}

const wchar_t* FileNamePart(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        if (*p == L'\\' || *p == L'/') name = p + 1;
    }
    return name;
}

bool JoinPath(wchar_t* out, size_t capacity, const wchar_t* folder, const wchar_t* name) {
    if (capacity == 0) return false;
    out[0] = L'\0';
    size_t folderLength = Length(folder);
    bool ok = AppendText(out, capacity, folder);
    if (folderLength == 0 || folder[folderLength - 1] != L'\\')
        ok = ok && AppendText(out, capacity, L"\\");
    ok = ok && AppendText(out, capacity, name);
    if (!ok) out[0] = L'\0';
    return ok;
}

bool FormatDumpPath(wchar_t* out, size_t capacity, const wchar_t* folder,
                    const wchar_t* programFile, int number) {
    if (capacity == 0) return false;
    out[0] = L'\0';
    if (number < 0 || number > 999) return false;
    wchar_t suffix[] = L"_000.dmp";
    suffix[1] = static_cast<wchar_t>(L'0' + number / 100);
    suffix[2] = static_cast<wchar_t>(L'0' + number / 10 % 10);
    suffix[3] = static_cast<wchar_t>(L'0' + number % 10);
    bool ok = JoinPath(out, capacity, folder, programFile) && AppendText(out, capacity, suffix);
    if (!ok) out[0] = L'\0';
    return ok;
}

void FormatUploaderCommandLine(wchar_t* out, size_t capacity, const wchar_t* dumpPath) {
    if (capacity == 0) return;
    out[0] = L'\0';
    AppendText(out, capacity, L"\"") && AppendText(out, capacity, kUploaderFileName) &&
        AppendText(out, capacity, L"\" \"") && AppendText(out, capacity, dumpPath) &&
        AppendText(out, capacity, L"\" \"\"");
}

bool IsAbsoluteDrivePath(const wchar_t* path) {
    if (!IsDriveLetter(path[0]) || path[1] != L':' || path[2] != L'\\') return false;
    for (const wchar_t* p = path + 3; *p != L'\0'; ++p) {
        if (IsForbiddenInFolderName(*p)) return false;
        // Two backslashes in a row make an empty folder name.
        if (*p == L'\\' && p[1] == L'\\') return false;
    }
    return true;
}
