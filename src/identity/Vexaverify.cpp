// The identity module "Vexaverify.dll". Its one export, GetCIDW, fills the caller's buffer
// with this machine's client identifier: a hash of the machine GUID that Windows keeps (or,
// where that is missing, of the system volume's serial number and the computer name).

#include <windows.h>

#include <cwchar>
#include <string>

#include "base/ExportBarrier.h"
#include "base/ScopedRegKey.h"
#include "identity/ClientIdentity.h"

namespace {

std::wstring ReadMachineGuid() {
    CScopedRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.Receive()) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t value[128] = {};
    DWORD bytes = sizeof(value) - sizeof(wchar_t);  // keeps a terminator in any case
    DWORD type = 0;
    LSTATUS status = RegQueryValueExW(key.Get(), L"MachineGuid", nullptr, &type,
                                      reinterpret_cast<BYTE*>(value), &bytes);
    if (status != ERROR_SUCCESS || type != REG_SZ) return std::wstring();
    return std::wstring(value);
}

std::wstring ReadVolumeAndComputer() {
    wchar_t windows[MAX_PATH] = {};
    UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length < 3 || length >= MAX_PATH) return std::wstring();
    windows[3] = L'\0';  // "C:\"
    DWORD serial = 0;
    if (!GetVolumeInformationW(windows, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
        return std::wstring();
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD computerLength = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(computer, &computerLength);
    wchar_t text[64];
    swprintf(text, 64, L"volume:%08lx:", static_cast<unsigned long>(serial));
    return text + std::wstring(computer);
}

}  // namespace

// Fills `buffer` (room for `capacity` characters, the terminator included) and answers
// nonzero; answers 0 and leaves an empty text when no identifier can be formed or it does
// not fit. An exception (an allocation) ends in the same answer 0, never in the caller.
extern "C" __declspec(dllexport) int WINAPI GetCIDW(wchar_t* buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0) return 0;
    buffer[0] = L'\0';
    return ExportBarrier(0, [&] {
        std::wstring machine = ReadMachineGuid();
        if (machine.empty()) machine = ReadVolumeAndComputer();
        std::wstring id = ClientIdFromMachineValue(machine);
        if (id.empty() || id.size() >= static_cast<size_t>(capacity)) return 0;
        wmemcpy(buffer, id.c_str(), id.size() + 1);
        return 1;
    });
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
