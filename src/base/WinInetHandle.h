#pragma once
// Owner of a WinInet handle.

#include <windows.h>
#include <wininet.h>

#include "base/UniqueHandle.h"

using CInternetHandle = CUniqueHandle<NullableHandleTraits<HINTERNET, &::InternetCloseHandle>>;
