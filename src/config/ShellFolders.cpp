#include "config/ShellFolders.h"

#include <objbase.h>
#include <shlobj.h>

#include <utility>
#include <vector>

#include "base/ComPtr.h"
#include "base/ScopedHandle.h"
#include "base/ShellItemList.h"

namespace {

constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;  // 81

// COM for the current scope of one operation.
class CComScope {
public:
    CComScope() : result_(CoInitialize(nullptr)) {}
    ~CComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;

private:
    HRESULT result_;
};

using OpenFolderFunction = HRESULT(WINAPI*)(PCIDLIST_ABSOLUTE, UINT, PCUITEMID_CHILD_ARRAY, DWORD);

void ShowInFolder(PCIDLIST_ABSOLUTE item) {
    CScopedModule shell(LoadLibraryW(L"Shell32.DLL"));
    if (shell.Get() == nullptr) return;
    auto open = reinterpret_cast<OpenFolderFunction>(
        reinterpret_cast<void*>(GetProcAddress(shell.Get(), "SHOpenFolderAndSelectItems")));
    if (open != nullptr) open(item, 0, nullptr, 0);
}

}  // namespace

bool BrowseForFolder(HWND owner, std::wstring* path) {
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pszDisplayName = displayName;
    info.lpszTitle = L"选择路径";
    info.ulFlags = kBrowseFlags;
    CShellItemList chosen(SHBrowseForFolderW(&info));
    if (chosen.Get() == nullptr) return false;
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(chosen.Get(), folder)) return false;
    *path = folder;
    return true;
}

void OpenFolderAndSelect(const std::wstring& path) {
    CComScope com;
    CComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.ReceiveVoid())))
        return;
    CShellItemList item;
    link->SetPath(path.c_str());
    link->GetIDList(item.Receive());
    CComPtr<IPersistFile> file;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.ReceiveVoid()))) {
        // For a shortcut file, its target is what gets selected.
        std::wstring copy = path;
        if (SUCCEEDED(file->Load(copy.c_str(), 0))) link->GetIDList(item.Receive());
    }
    if (item.Get() != nullptr) ShowInFolder(item.Get());
}

HRESULT CreateShortcut(const std::wstring& target, const std::wstring& arguments,
                       const std::wstring& workingFolder, const std::wstring& shortcutFile,
                       const std::wstring& description) {
    CComScope com;
    CComPtr<IShellLinkW> link;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkW, link.ReceiveVoid());
    if (FAILED(result)) return result;
    link->SetPath(target.c_str());
    link->SetArguments(arguments.c_str());
    link->SetDescription(description.c_str());
    link->SetWorkingDirectory(workingFolder.c_str());
    CComPtr<IPersistFile> file;
    result = link->QueryInterface(IID_IPersistFile, file.ReceiveVoid());
    if (FAILED(result)) return result;
    return file->Save(shortcutFile.c_str(), TRUE);
}
