#pragma once
// A small window framework: CWindow wraps a window handle (not owned), CWindowImpl<T> is
// the base of every window class of the program. A window object finds itself from the
// first message of its window (WM_GETMINMAXINFO comes before WM_NCCREATE) and forwards
// every message to its message map, a chain of small member handlers:
//
//   BEGIN_MSG_MAP(CMyWnd)
//       MESSAGE_HANDLER(WM_CREATE, OnCreate)
//       COMMAND_ID_HANDLER(100, OnClose)
//       CHAIN_MSG_MAP_MEMBER(elements_)
//   END_MSG_MAP()
//
// Handlers have the forms
//   LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled);
//   LRESULT OnCommand(WORD notifyCode, WORD id, HWND control, BOOL& handled);
//   LRESULT OnNotify(int id, NMHDR* header, BOOL& handled);
// and clear `handled` to let the message go on down the map and to DefWindowProc.

#include <windows.h>

#include <string>
#include <typeinfo>

class CWindow {
public:
    HWND m_hWnd = nullptr;

    CWindow() = default;
    explicit CWindow(HWND hwnd) : m_hWnd(hwnd) {}
    operator HWND() const { return m_hWnd; }

    BOOL IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    BOOL DestroyWindow();
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    // Centres on `reference`; without one on the owner (or parent for a child window) when
    // that is visible, otherwise on the work area of the window's monitor.
    BOOL CenterWindow(HWND reference = nullptr);
    BOOL Invalidate(BOOL erase = TRUE) { return ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL GetClientRect(RECT* rect) const { return ::GetClientRect(m_hWnd, rect); }
    BOOL GetWindowRect(RECT* rect) const { return ::GetWindowRect(m_hWnd, rect); }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::PostMessageW(m_hWnd, msg, wParam, lParam);
    }
    BOOL SetWindowText(const wchar_t* text) { return ::SetWindowTextW(m_hWnd, text); }
    std::wstring GetWindowText() const;
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    BOOL SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) {
        return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags);
    }
    int SetWindowRgn(HRGN region, BOOL redraw) { return ::SetWindowRgn(m_hWnd, region, redraw); }
    BOOL EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
};

// How a window class is registered. The name identifies it; the first registration of a
// name wins for the life of the process (see CAppModule).
struct CWndClassInfo {
    std::wstring name;
    UINT style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    LPCWSTR cursor = IDC_ARROW;  // a system cursor id
    HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
};

class CWindowImplBase : public CWindow {
public:
    CWindowImplBase() = default;
    CWindowImplBase(const CWindowImplBase&) = delete;
    CWindowImplBase& operator=(const CWindowImplBase&) = delete;
    // A window still alive when its object goes away is detached first, so that its last
    // messages never reach a half-destroyed object, and then destroyed.
    virtual ~CWindowImplBase();

    HWND Create(HWND parent, const RECT& rect, const wchar_t* title = nullptr, DWORD style = 0,
                DWORD exStyle = 0, HMENU menu = nullptr, void* createParam = nullptr);

    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& lResult, DWORD dwMsgMapID = 0) = 0;
    // Called after WM_NCDESTROY, when m_hWnd is already null, and after every handler of
    // this window that was running then has returned; may delete the object.
    virtual void OnFinalMessage(HWND /*hwnd*/) {}
    virtual CWndClassInfo GetWndClassInfo() const = 0;

    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
        return ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
    }
    LRESULT DefWindowProc() {
        return current_ ? DefWindowProc(current_->message, current_->wParam, current_->lParam) : 0;
    }
    const MSG* GetCurrentMessage() const { return current_; }

    static CWindowImplBase* FromHandle(HWND hwnd);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    const MSG* current_ = nullptr;
    bool finalMessagePending_ = false;
};

std::wstring DefaultWindowClassName(const char* typeName);

template <class T>
class CWindowImpl : public CWindowImplBase {
public:
    CWndClassInfo GetWndClassInfo() const override {
        CWndClassInfo info;
        info.name = DefaultWindowClassName(typeid(T).name());
        return info;
    }
};

// Gives a window class a fixed class name, style and background brush.
#define DECLARE_WND_CLASS_EX(className, classStyle, bkgndColor)              \
public:                                                                      \
    CWndClassInfo GetWndClassInfo() const override {                         \
        CWndClassInfo info;                                                  \
        info.name = className;                                               \
        info.style = classStyle;                                             \
        info.background = reinterpret_cast<HBRUSH>((bkgndColor) + 1);        \
        return info;                                                         \
    }

#define BEGIN_MSG_MAP(theClass)                                                          \
public:                                                                                  \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,        \
                              LRESULT& lResult, DWORD dwMsgMapID = 0) override {         \
        BOOL bHandled = TRUE;                                                            \
        (void)hWnd;                                                                      \
        (void)uMsg;                                                                      \
        (void)wParam;                                                                    \
        (void)lParam;                                                                    \
        (void)lResult;                                                                   \
        (void)bHandled;                                                                  \
        switch (dwMsgMapID) {                                                            \
            case 0:

#define MESSAGE_HANDLER(msg, func)                              \
    if (uMsg == (msg)) {                                        \
        bHandled = TRUE;                                        \
        lResult = func(uMsg, wParam, lParam, bHandled);         \
        if (bHandled) return TRUE;                              \
    }

#define MESSAGE_RANGE_HANDLER(msgFirst, msgLast, func)          \
    if (uMsg >= (msgFirst) && uMsg <= (msgLast)) {              \
        bHandled = TRUE;                                        \
        lResult = func(uMsg, wParam, lParam, bHandled);         \
        if (bHandled) return TRUE;                              \
    }

#define COMMAND_HANDLER(id, code, func)                                                      \
    if (uMsg == WM_COMMAND && (id) == LOWORD(wParam) && (code) == HIWORD(wParam)) {          \
        bHandled = TRUE;                                                                     \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam),       \
                       bHandled);                                                            \
        if (bHandled) return TRUE;                                                           \
    }

#define COMMAND_ID_HANDLER(id, func)                                                         \
    if (uMsg == WM_COMMAND && (id) == LOWORD(wParam)) {                                      \
        bHandled = TRUE;                                                                     \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam),       \
                       bHandled);                                                            \
        if (bHandled) return TRUE;                                                           \
    }

#define NOTIFY_CODE_HANDLER(code, func)                                                      \
    if (uMsg == WM_NOTIFY && (code) == reinterpret_cast<NMHDR*>(lParam)->code) {             \
        bHandled = TRUE;                                                                     \
        lResult = func(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam), bHandled); \
        if (bHandled) return TRUE;                                                           \
    }

#define CHAIN_MSG_MAP(theChainClass)                                                    \
    if (theChainClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) {     \
        return TRUE;                                                                    \
    }

#define CHAIN_MSG_MAP_MEMBER(theChainMember)                                            \
    if ((theChainMember).ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) {   \
        return TRUE;                                                                    \
    }

// Hands the message to any object with a ProcessMessage(hwnd, msg, wParam, lParam,
// result&, mapId) operation, such as the skin's element manager.
#define CHAIN_PROCESS_MESSAGE(processor)                                                \
    if ((processor).ProcessMessage(hWnd, uMsg, wParam, lParam, lResult, 0)) {           \
        return TRUE;                                                                    \
    }

#define END_MSG_MAP() \
    break;            \
    default:          \
        break;        \
        }             \
        return FALSE; \
        }
