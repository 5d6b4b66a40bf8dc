#pragma once
// The process-wide skin drawing resources: made before any window, destroyed at exit.

#include "skin/SkinResources.h"

extern CSkinResources g_SkinResources;
