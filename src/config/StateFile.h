#pragma once
// The per-package download state file: identifier + ".tmp.cfg" in the temporary folder,
// section "Norvane", read and written only through the private-profile functions. It keeps
// what a download needs across runs: the folder, the companion-product choice and size,
// and the accumulated download time.
//
// Writes happen only while the file exists (ResetStateFile creates it for a fresh
// download); reads answer their defaults when it does not.

#include <windows.h>

#include <cstdint>
#include <string>

constexpr uint64_t kDefaultQuilletSize = 10485760;  // 10 MiB

class CStateFile {
public:
    explicit CStateFile(std::wstring path) : path_(std::move(path)) {}

    const std::wstring& Path() const { return path_; }
    bool Exists() const;
    // Deletes the file and creates it again, empty (but for a UTF-16 byte-order mark and the
    // accepted release serial, which outlives every download).
    void Reset() const;

    void SaveDownloadFolder(const std::wstring& folder) const;
    std::wstring LoadDownloadFolder() const;
    void SaveQuilletChoice(int choice) const;
    // `fallback` when the file is missing; otherwise chosen only for the text "1".
    bool IsQuilletChosen(bool fallback) const;
    // The companion's size in bytes, as an unsigned 64-bit decimal.
    void SaveQuilletSize(uint64_t size) const;
    // kDefaultQuilletSize when the file is missing or the value reads as 0. A negative value
    // is what earlier versions wrote for sizes of 2 GiB to 4 GiB (the low 32 bits, signed)
    // and reads back as that size.
    uint64_t LoadQuilletSize() const;
    void SaveDownloadTotalTime(uint64_t milliseconds) const;
    uint64_t LoadDownloadTotalTime() const;
    // The highest release serial a copy with publisher keys has accepted; 0 when none. Saving
    // creates the file when it is missing: an older release must not pass merely because no
    // download has started yet.
    uint64_t LoadAcceptedSerial() const;
    void SaveAcceptedSerial(uint64_t serial) const;

private:
    void CreateEmpty() const;
    void Write(const wchar_t* key, const std::wstring& value) const;
    std::wstring Read(const wchar_t* key) const;

    std::wstring path_;
};

// The program's state file, named by the package identifier.
std::wstring GetStateFilePath();
bool StateFileExists();
void ResetStateFile();
void SaveDownloadFolder(const std::wstring& folder);
std::wstring LoadDownloadFolder();
void SaveQuilletChoice(int choice);
bool IsQuilletChosen(bool fallback);
void SaveQuilletSize(uint64_t size);
uint64_t LoadQuilletSize();

// The state file path for `packageId` in `tempFolder` (a backslash is added when missing);
// empty when the temporary folder is unknown.
std::wstring StateFilePathFor(const std::wstring& tempFolder, const std::wstring& packageId);
