#include "engine/swarm/DiskReservation.h"

#include <windows.h>

#include "base/ScopedHandle.h"

namespace vexa::engine {

bool ReserveFileSpace(const std::wstring& path, uint64_t size) {
    CScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
    if (SetFileInformationByHandle(file.Get(), FileAllocationInfo, &allocation, sizeof(allocation)))
        return true;
    const DWORD error = GetLastError();
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) return false;
    // A file system that cannot allocate ahead: at least the free space must be there.
    LARGE_INTEGER length{};
    ULARGE_INTEGER available{};
    if (!GetFileSizeEx(file.Get(), &length)) return false;
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return true;
    const uint64_t have = static_cast<uint64_t>(length.QuadPart);
    return have >= size || available.QuadPart >= size - have;
}

}  // namespace vexa::engine
