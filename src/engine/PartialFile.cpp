#include "engine/PartialFile.h"

#include <vector>

namespace vexa::engine {

PartialFile::PartialFile(std::wstring targetPath)
    : targetPath_(std::move(targetPath)),
      dataPath_(targetPath_ + L".P2P"),
      recordPath_(targetPath_ + L".P2P.rec") {}

bool PartialFile::Open() {
    if (IsOpen()) return true;
    handle_.Reset(CreateFileW(dataPath_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return IsOpen();
}

void PartialFile::Close() { handle_.Reset(); }

bool PartialFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD chunk = static_cast<DWORD>(size > (1u << 30) ? (1u << 30) : size);
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD written = 0;
        if (!WriteFile(handle_.Get(), p, chunk, &written, &at) || written != chunk) return false;
        p += chunk;
        offset += chunk;
        size -= chunk;
    }
    return true;
}

bool PartialFile::Flush() { return IsOpen() && FlushFileBuffers(handle_.Get()); }

bool PartialFile::Truncate() {
    LARGE_INTEGER zero{};
    return IsOpen() && SetFilePointerEx(handle_.Get(), zero, nullptr, FILE_BEGIN) &&
           SetEndOfFile(handle_.Get());
}

bool PartialFile::LoadRecord(ProgressRecord& record) const {
    if (GetFileAttributesW(dataPath_.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    CScopedHandle f(CreateFileW(recordPath_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.IsValid()) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(f.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > (64 << 20))
        return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!ReadFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
        got != bytes.size())
        return false;
    return ParseRecord(bytes.data(), bytes.size(), record);
}

bool PartialFile::SaveRecord(const ProgressRecord& record) const {
    std::vector<uint8_t> bytes = SerializeRecord(record);
    std::wstring temp = recordPath_ + L".tmp";
    {
        CScopedHandle f(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!f.IsValid()) return false;
        DWORD written = 0;
        if (!WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) ||
            written != bytes.size() || !FlushFileBuffers(f.Get()))
            return false;
    }
    return MoveFileExW(temp.c_str(), recordPath_.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void PartialFile::DeleteRecord() const {
    DeleteFileW(recordPath_.c_str());
    DeleteFileW((recordPath_ + L".tmp").c_str());
}

bool PartialFile::PromoteToTarget() {
    if (IsOpen() && !Flush()) return false;
    Close();
    return MoveFileExW(dataPath_.c_str(), targetPath_.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace vexa::engine
