#include "probes/ProcessProbes.h"

#include <psapi.h>

#include "base/ScopedHandle.h"

namespace {

using QueryImageNameFunction = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);

// Looked up once; missing on systems older than the function.
QueryImageNameFunction QueryImageName() {
    static const QueryImageNameFunction function =
        reinterpret_cast<QueryImageNameFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"Kernel32.dll"), "QueryFullProcessImageNameW")));
    return function;
}

}  // namespace

bool GetProcessImagePath(DWORD processId, wchar_t* buffer, DWORD capacity) {
    if (processId <= 4 || buffer == nullptr || capacity == 0) return false;
    CScopedHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process.IsValid()) return false;
    if (GetModuleFileNameExW(process.Get(), nullptr, buffer, capacity) != 0) return true;
    QueryImageNameFunction query = QueryImageName();
    DWORD size = capacity;
    return query != nullptr && query(process.Get(), 0, buffer, &size) != FALSE;
}

bool ClaimNamedMutex(const wchar_t* name, HANDLE* handle) {
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);  // everybody may open it
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};
    *handle = CreateMutexW(&attributes, FALSE, name);
    return *handle != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
}
