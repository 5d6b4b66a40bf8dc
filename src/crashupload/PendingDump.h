#pragma once
// One dump on disk while it is being sent: held open without sharing, so that a second
// uploader (two crashes close together) or a program still writing it cannot meet it
// halfway, and deleted through the same handle once the server has it.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/ScopedHandle.h"
#include "crashupload/CrashUploadRules.h"

class CPendingDump {
public:
    CPendingDump() = default;
    CPendingDump(const CPendingDump&) = delete;
    CPendingDump& operator=(const CPendingDump&) = delete;

    // Opens and reads the dump; false when it cannot be opened (in use, gone, refused), is
    // larger than kMaxDumpBytes, or is no minidump. Such a dump is left as it is.
    bool Open(const std::wstring& path);

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    UtcTime LastWritten() const { return written_; }

    // Deletes the file when the handle is closed.
    bool Delete();

private:
    CScopedHandle file_;
    std::vector<uint8_t> bytes_;
    UtcTime written_;
};
