#pragma once
// The download window's notification-area icon and its menu. The icon lives as long as this
// object wants it: one the shell dropped (Explorer started again) is added again when the
// taskbar announces itself, and the destructor removes it.

#include <windows.h>

#include <string>

class CTrayIcon {
public:
    CTrayIcon() = default;
    ~CTrayIcon() { Remove(); }
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Shows the icon for `window` with `tip`; false when the shell did not take it.
    bool Show(HWND window, const std::wstring& tip);
    void Remove();
    // Call for every message the window gets: true for the shell's "TaskbarCreated", after
    // which the icon, if it was wanted, is there again.
    bool OnTaskbarMessage(UINT message);
    // The pop-up menu at the cursor; the chosen command, 0 for none.
    UINT TrackMenu(HWND window) const;

private:
    bool Add();

    HWND window_ = nullptr;
    std::wstring tip_;
    bool wanted_ = false;
    bool added_ = false;
};
