#pragma once
// Probes of the screen and the window in front.

// Width and height in pixels of the primary display's current mode.
bool GetPrimaryScreenSize(int* width, int* height);

// True when a full-screen application is in front (a game or a presentation): the program
// then keeps its windows behind instead of raising them.
bool IsFullScreenAppActive();
