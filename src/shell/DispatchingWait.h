#pragma once
// Long work done for a window without leaving it unanswered: the work runs on a thread of its
// own while this thread goes on dispatching messages, the way a modal prompt does. The owner
// is disabled meanwhile, so the user's clicks on it wait; painting, the notification icon and
// the program's other windows go on. A quit message that arrives meanwhile is posted again
// once the work is done. Whatever the messages did (the owner may have been destroyed) is for
// the caller to look at afterwards.

#include <windows.h>

#include <functional>

// Runs `work` to its end and returns true; false (and `work` run on this thread, the owner
// left frozen for that time) when no thread can be started.
bool RunWhileDispatching(HWND owner, const std::function<void()>& work);
