#include "probes/ScreenProbes.h"

#include <windows.h>

#include <cwchar>

#include "probes/ProbeRules.h"
#include "probes/ProcessProbes.h"

namespace {

constexpr int kMaxTopLevelWindows = 1000;

DWORD ProcessOf(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId <= 3 ? 0 : processId;
}

// The shell and Task Manager are never taken for full-screen applications.
bool IsShellOrTaskManager(HWND window, DWORD processId) {
    HWND shell = GetShellWindow();
    if (window == shell || (shell != nullptr && ProcessOf(shell) == processId)) return true;
    wchar_t path[MAX_PATH] = {};
    if (!GetProcessImagePath(processId, path, MAX_PATH)) return false;
    const wchar_t* slash = wcsrchr(path, L'\\');
    const wchar_t* name = slash != nullptr ? slash + 1 : path;
    return _wcsicmp(name, L"explorer.exe") == 0 || _wcsicmp(name, L"taskmgr.exe") == 0;
}

bool CoversWholeScreen(const RECT& rect, int width, int height) {
    return rect.left == 0 && rect.top == 0 && rect.right == width && rect.bottom == height;
}

// Without a foreground window: a visible, not minimised, topmost top-level window that
// covers the screen exactly.
bool IsTopmostWindowFullScreen() {
    int width = 0, height = 0;
    if (!GetPrimaryScreenSize(&width, &height)) return false;
    HWND window = GetWindow(GetDesktopWindow(), GW_CHILD);
    for (int i = 0; window != nullptr && i < kMaxTopLevelWindows; ++i) {
        WINDOWINFO info = {sizeof(info)};
        if (GetWindowInfo(window, &info) && (info.dwStyle & WS_VISIBLE) &&
            !(info.dwStyle & WS_MINIMIZE) && (info.dwExStyle & WS_EX_TOPMOST) &&
            CoversWholeScreen(info.rcWindow, width, height))
            return true;
        window = GetWindow(window, GW_HWNDNEXT);
    }
    return false;
}

}  // namespace

bool GetPrimaryScreenSize(int* width, int* height) {
    HMONITOR monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFOEXW info = {};
    info.cbSize = sizeof(info);
    if (monitor == nullptr || !GetMonitorInfoW(monitor, &info)) return false;
    DEVMODEW mode = {};
    mode.dmSize = sizeof(mode);
    if (!EnumDisplaySettingsW(info.szDevice, ENUM_CURRENT_SETTINGS, &mode)) return false;
    *width = static_cast<int>(mode.dmPelsWidth);
    *height = static_cast<int>(mode.dmPelsHeight);
    return true;
}

bool IsFullScreenAppActive() {
    HWND foreground = GetForegroundWindow();
    if (foreground == nullptr) return IsTopmostWindowFullScreen();
    if (foreground == GetDesktopWindow()) return false;
    DWORD processId = ProcessOf(foreground);
    if (processId != 0 && IsShellOrTaskManager(foreground, processId)) return false;

    int width = 0, height = 0;
    if (!GetPrimaryScreenSize(&width, &height)) return false;
    RECT rect = {};
    if (WindowFromPoint(POINT{0, 0}) == nullptr && GetWindowRect(foreground, &rect) &&
        CoversWholeScreen(rect, width, height))
        return true;

    // After the first point that shows another window, the foreground window itself is no
    // longer looked for; later points count when they show a window of its process.
    HWND front = foreground;
    return AreScreenEdgesCovered(width, height, [&](int x, int y) {
        HWND under = WindowFromPoint(POINT{x, y});
        if (front != nullptr && (under == front || GetAncestor(under, GA_ROOT) == front))
            return true;
        front = nullptr;
        return under != nullptr && processId != 0 && ProcessOf(under) == processId;
    });
}
