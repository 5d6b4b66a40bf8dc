#pragma once

// Creates the main window and runs the message loop; returns the loop's exit code, or 0
// when the main window could not be created (no loop is entered that nothing could end).
int RunMainWindow();
