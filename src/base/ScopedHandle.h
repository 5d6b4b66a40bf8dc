#pragma once
// Owners of kernel handles and loaded modules.

#include <windows.h>

#include "base/UniqueHandle.h"

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    // Both conventions of failure: CreateFileW gives INVALID_HANDLE_VALUE, most others null.
    static bool IsValid(Handle handle) {
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    }
    static void Close(Handle handle) { ::CloseHandle(handle); }
};
using CScopedHandle = CUniqueHandle<KernelHandleTraits>;

using CScopedModule = CUniqueHandle<NullableHandleTraits<HMODULE, &::FreeLibrary>>;
