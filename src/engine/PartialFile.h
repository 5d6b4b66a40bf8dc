#pragma once
// The partial file (target + ".P2P") and its progress record (target + ".P2P.rec") on disk.
// Data goes to the partial file at explicit offsets from several threads at once; the
// record is replaced atomically only after the data it describes has been flushed.

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/ScopedHandle.h"
#include "engine/core/ProgressRecord.h"

namespace vexa::engine {

class PartialFile {
public:
    explicit PartialFile(std::wstring targetPath);
    ~PartialFile() { Close(); }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    const std::wstring& DataPath() const { return dataPath_; }

    // Opens (or creates) the partial file for writing. Other processes may read it but
    // not write it, so two downloads of one target cannot interleave their data.
    bool Open();
    void Close();
    bool IsOpen() const { return handle_.IsValid(); }
    bool WriteAt(uint64_t offset, const void* data, size_t size);
    bool Flush();
    // Empties the partial file for a fresh start.
    bool Truncate();

    // The stored record, when it exists, checks out and the partial file is there.
    bool LoadRecord(ProgressRecord& record) const;
    // temp file, flushed, then moved over the old record in one step.
    bool SaveRecord(const ProgressRecord& record) const;
    void DeleteRecord() const;

    // Closes the data file and moves it over the target (replacing a stale target).
    bool PromoteToTarget();

private:
    std::wstring targetPath_;
    std::wstring dataPath_;
    std::wstring recordPath_;
    CScopedHandle handle_;
};

}  // namespace vexa::engine
