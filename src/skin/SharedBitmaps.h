#pragma once
// The bitmaps shared by all windows (prompt frames, buttons, ...), one set per process.

class CSharedBitmaps {
public:
    CSharedBitmaps() = default;
};
