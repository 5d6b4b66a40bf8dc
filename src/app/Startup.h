#pragma once

// Creates the main window (trying once more when the first attempt fails) and runs the
// message loop; returns the loop's exit code. When no main window can be made the user is
// told with a message box and 0 is returned: no loop is entered that nothing could end.
int RunMainWindow();
