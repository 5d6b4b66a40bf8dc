#pragma once
// The process-wide shared skin images (prompt frame, buttons, emblems).

#include "skin/SharedBitmaps.h"

extern CSharedBitmaps g_SharedBitmaps;
