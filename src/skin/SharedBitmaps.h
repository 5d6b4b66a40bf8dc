#pragma once
// The skin images shared by all windows (g_SharedBitmaps): the prompt frame and background,
// the title-bar and prompt buttons, the warning sign and the emblems. Made at program start;
// each image decodes on first use.

#include <windows.h>

#include <memory>
#include <vector>

#include "skin/SomBitmap.h"

class CSomBitmap9Part;

class CSharedBitmaps {
public:
    CSharedBitmaps();
    CSharedBitmaps(const CSharedBitmaps&) = delete;
    CSharedBitmaps& operator=(const CSharedBitmaps&) = delete;

    // The first shared bitmap of that resource id, or null when the set has none.
    CSomBitmap* Get(UINT resourceId) const;
    // The prompt window frame (id 101), drawn as nine parts.
    CSomBitmap9Part* GetPromptFrame() const;

private:
    std::vector<std::unique_ptr<CSomBitmap>> bitmaps_;  // in the order of the set
};
