#include "shell/LinkOpener.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "base/ScopedHandle.h"

bool ShellOpenWithoutErrorUi(const std::wstring& target) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = target.c_str();
    info.nShow = SW_SHOW;
    return ::ShellExecuteExW(&info) != FALSE;
}

void OpenUrl(const std::wstring& target) {
    if (!IsOpenableLink(target)) return;
    if (!ShellOpenWithoutErrorUi(target)) OpenInBrowserExecutable(target);
}

bool ShellOpenLink(const std::wstring& link) {
    if (!IsOpenableLink(link)) return false;
    HINSTANCE result = ::ShellExecuteW(nullptr, L"open", link.c_str(), nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

int OpenInBrowserExecutable(const std::wstring& target) {
    wchar_t programFiles[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE)) return 0;
    wchar_t browser[MAX_PATH] = {};
    if (!::PathCombineW(browser, programFiles, L"Internet Explorer\\IEXPLORE.EXE")) return 0;
    CScopedHandle process(ShellExecuteAndGetProcess(browser, target, nullptr, SW_SHOWDEFAULT));
    return 1;
}

HANDLE ShellExecuteAndGetProcess(const std::wstring& file, const std::wstring& parameters,
                                 const wchar_t* directory, int showCommand) {
    std::wstring quotedFile = QuoteExecutablePath(file);
    std::wstring quotedParameters = QuoteExecutablePath(parameters);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = quotedFile.c_str();
    info.lpParameters = quotedParameters.empty() ? nullptr : quotedParameters.c_str();
    info.lpDirectory = directory;
    info.nShow = showCommand;
    if (!::ShellExecuteExW(&info)) return nullptr;
    return info.hProcess;
}
