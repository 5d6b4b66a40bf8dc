#pragma once
// The uploader's rules that need no system: which files are our dumps, where a dump is
// sent, and what answer counts as received.
//
// A dump is sent as
//   PUT http://<statistics host>/crashdump/<package id>/<version>/<client id>_<time>_<NNN>.dmp
// with the dump's bytes as the body (Content-Type: application/octet-stream). <time> is the
// dump's last-write time in UTC as yyyymmddThhmmssZ and NNN its number, so a dump sent again
// after a lost answer lands on the same name instead of a second copy. Every part is
// percent-encoded (UTF-8).

#include <cstdint>
#include <string>
#include <vector>

constexpr uint64_t kMaxDumpBytes = 32ull << 20;  // the upload location refuses larger bodies
constexpr int kHighestDumpNumber = 10;           // dumps are numbered 000 to 010
constexpr wchar_t kCrashUploadRoot[] = L"/crashdump/";

struct UtcTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct CrashUploadInfo {
    std::wstring packageId;
    std::wstring version;
    std::wstring clientId;  // empty when it could not be had
    UtcTime written;        // the dump's last-write time
    int number = 0;         // the dump's number
};

// "<program file>_NNN.dmp" with NNN 000..010: the program file and the number. False for
// every other name.
bool ParseDumpFileName(const std::wstring& name, std::wstring* programFile, int* number);

// The names of every dump of `programFile`, 000 to 010.
std::vector<std::wstring> DumpFileNames(const std::wstring& programFile);

// The path (with the leading slash) that the dump is sent to.
std::wstring BuildCrashUploadPath(const CrashUploadInfo& info);

// Every character but A-Z a-z 0-9 - . _ ~ as %XX of its UTF-8 bytes.
std::wstring PercentEncode(const std::wstring& text);

// The host part of a stamped "host[:port]" value: port 80 unless given; false when the
// value is empty, holds characters no host name has, or the port is not 1..65535.
bool SplitHostAndPort(const std::wstring& value, std::wstring* host, int* port);

// A dump counts as received only on a 2xx answer.
inline bool IsReceivedStatus(int status) { return status >= 200 && status <= 299; }

// The first bytes of every minidump.
bool LooksLikeMinidump(const uint8_t* bytes, size_t size);
