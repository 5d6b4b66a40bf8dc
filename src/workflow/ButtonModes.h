#pragma once
// The download window shows exactly one of five action buttons; the button mode says which.
// Portable.

#include <cstdint>

enum ButtonMode : int {
    kModeDownload = 0,    // nothing downloaded yet
    kModeResume = 1,      // paused, restored, or stopped for a retry
    kModePause = 2,       // a transfer runs
    kModeInstall = 3,     // the package is complete and verified
    kModeRedownload = 4,  // the download failed
};

// The button (its command id) shown in `mode`; 0 (none) for a value outside 0 to 4.
unsigned ActionButtonOfMode(int mode);

// Where the previous run stopped, as the start-up check reports it.
enum InitialState : int {
    kInitialNothing = 0,
    kInitialPartial = 1,
    kInitialComplete = 2,
    kInitialSomeFiles = 4,
};

// The mode each initial state opens in: 0 -> 0, 1 -> 1, 2 -> 3, 4 -> 1; others -> 0.
int ButtonModeOfInitialState(int state);
