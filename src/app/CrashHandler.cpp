#include "app/CrashHandler.h"

#include <windows.h>

namespace {
bool g_disarmed = false;

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* /*pointers*/) {
    if (g_disarmed) return EXCEPTION_EXECUTE_HANDLER;
    return EXCEPTION_EXECUTE_HANDLER;
}
}  // namespace

void InstallCrashHandler() { ::SetUnhandledExceptionFilter(&CrashFilter); }

void DisarmCrashHandler() { g_disarmed = true; }

void OnInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t) {
    ::RaiseException(EXCEPTION_BREAKPOINT, 0, 0, nullptr);
}
