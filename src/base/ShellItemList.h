#pragma once
// Owner of an item list the shell allocated, freed through the shell's allocator.

#include <windows.h>
// windows.h must come before shlobj.h
#include <shlobj.h>

#include "base/UniqueHandle.h"

struct ShellItemListTraits : NullableHandle<PIDLIST_ABSOLUTE> {
    static void Close(PIDLIST_ABSOLUTE list) {
        IMalloc* malloc = nullptr;
        if (SUCCEEDED(::SHGetMalloc(&malloc))) {
            malloc->Free(list);
            malloc->Release();
        }
    }
};
using CShellItemList = CUniqueHandle<ShellItemListTraits>;
