#pragma once
// Owner of an open registry key.

#include <windows.h>

#include "base/UniqueHandle.h"

using CScopedRegKey = CUniqueHandle<NullableHandleTraits<HKEY, &::RegCloseKey>>;
