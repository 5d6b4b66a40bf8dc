#pragma once
// The connectivity probe: asked before every HTTP transfer and by the download window.

#include <windows.h>

// True when the system reports a modem, LAN or proxy connection and is not offline.
BOOL IsNetworkConnected();
