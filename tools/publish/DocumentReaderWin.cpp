#include "DocumentReaderWin.h"

#include <windows.h>

#include "LocalFiles.h"
#include "base/TextCodec.h"
#include "config/ProfileText.h"

namespace publish {

bool ParseWithProfileFunctions(const std::string& bytes, ConfigValues* values,
                               std::wstring* missingKey) {
    wchar_t folder[MAX_PATH] = {};
    wchar_t file[MAX_PATH] = {};
    if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"vxp", 0, file)) {
        *missingKey = L"(no temporary file for the document)";
        return false;
    }
    const bool written = WriteFileAtomically(Utf8FromWide(file), bytes);
    CProfileKeyReader reader(file);
    const bool parsed = written && ParseConfigDocument(reader, std::wstring(), *values, missingKey);
    DeleteFileW(file);
    return parsed;
}

}  // namespace publish
