#include "shell/Window.h"

#include "shell/AppModuleInstance.h"

namespace {

// The object whose window is being created on this thread; claimed by the first message
// that the new window receives.
thread_local CWindowImplBase* t_creating = nullptr;

constexpr int kObjectSlot = 0;  // window extra bytes hold the owning object

}  // namespace

BOOL CWindow::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    return ::DestroyWindow(m_hWnd);
}

std::wstring CWindow::GetWindowText() const {
    int length = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = ::GetWindowTextW(m_hWnd, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

BOOL CWindow::CenterWindow(HWND reference) {
    RECT self;
    if (!::GetWindowRect(m_hWnd, &self)) return FALSE;
    LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    if (!reference) {
        reference = (style & WS_CHILD) ? ::GetParent(m_hWnd) : ::GetWindow(m_hWnd, GW_OWNER);
    }
    if (reference && (!::IsWindowVisible(reference) || ::IsIconic(reference))) reference = nullptr;

    RECT area;
    HMONITOR monitor = ::MonitorFromWindow(reference ? reference : m_hWnd, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {sizeof(info)};
    if (!::GetMonitorInfoW(monitor, &info)) {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0);
    }
    RECT centre = info.rcWork;
    if (reference) {
        ::GetWindowRect(reference, &centre);
    }
    area = info.rcWork;

    int width = self.right - self.left;
    int height = self.bottom - self.top;
    int x = (centre.left + centre.right) / 2 - width / 2;
    int y = (centre.top + centre.bottom) / 2 - height / 2;
    // Keep the window on the work area.
    if (x + width > area.right) x = area.right - width;
    if (x < area.left) x = area.left;
    if (y + height > area.bottom) y = area.bottom - height;
    if (y < area.top) y = area.top;
    if (style & WS_CHILD) {
        POINT origin = {x, y};
        ::ScreenToClient(::GetParent(m_hWnd), &origin);
        x = origin.x;
        y = origin.y;
    }
    return ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring DefaultWindowClassName(const char* typeName) {
    std::wstring name = L"Vexa:";
    for (const char* p = typeName; *p; ++p) name += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return name;
}

CWindowImplBase::~CWindowImplBase() {
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        HWND hwnd = m_hWnd;
        ::SetWindowLongPtrW(hwnd, kObjectSlot, 0);
        m_hWnd = nullptr;
        ::DestroyWindow(hwnd);
    }
}

HWND CWindowImplBase::Create(HWND parent, const RECT& rect, const wchar_t* title, DWORD style,
                             DWORD exStyle, HMENU menu, void* createParam) {
    if (m_hWnd) return nullptr;
    CWndClassInfo info = GetWndClassInfo();
    HINSTANCE instance = g_Module.GetModuleInstance();
    if (!instance) instance = ::GetModuleHandleW(nullptr);

    WNDCLASSEXW wc = {sizeof(wc)};
    wc.style = info.style;
    wc.lpfnWndProc = &CWindowImplBase::WindowProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = instance;
    wc.hCursor = info.cursor ? ::LoadCursorW(nullptr, info.cursor) : nullptr;
    wc.hbrBackground = info.background;
    wc.hIcon = info.icon;
    wc.hIconSm = info.smallIcon;
    wc.lpszClassName = info.name.c_str();
    if (!g_Module.RegisterWindowClass(wc)) return nullptr;

    CWindowImplBase* outer = t_creating;
    t_creating = this;
    HWND hwnd = ::CreateWindowExW(exStyle, info.name.c_str(), title, style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent, menu,
                                  instance, createParam);
    t_creating = outer;
    if (!hwnd) m_hWnd = nullptr;
    return hwnd;
}

CWindowImplBase* CWindowImplBase::FromHandle(HWND hwnd) {
    return reinterpret_cast<CWindowImplBase*>(::GetWindowLongPtrW(hwnd, kObjectSlot));
}

LRESULT CALLBACK CWindowImplBase::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWindowImplBase* self = FromHandle(hwnd);
    if (!self && t_creating && !t_creating->m_hWnd) {
        self = t_creating;
        self->m_hWnd = hwnd;
        ::SetWindowLongPtrW(hwnd, kObjectSlot, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->Dispatch(hwnd, msg, wParam, lParam);
}

LRESULT CWindowImplBase::Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MSG current = {hwnd, msg, wParam, lParam, 0, {0, 0}};
    const MSG* outer = current_;
    current_ = &current;
    LRESULT result = 0;
    BOOL handled = ProcessWindowMessage(hwnd, msg, wParam, lParam, result, 0);
    current_ = outer;
    if (!handled) result = ::DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, kObjectSlot, 0);
        m_hWnd = nullptr;
        finalMessagePending_ = true;
    }
    // A window destroyed from inside one of its own handlers has its final call only when
    // that handler has returned: the final call may delete the object, and the handlers
    // further out (and this function) still use it.
    if (finalMessagePending_ && !outer) {
        finalMessagePending_ = false;
        OnFinalMessage(hwnd);  // may delete this
    }
    return result;
}
