#include "config/ShellFolders.h"

#include <objbase.h>
#include <shlobj.h>

#include <utility>
#include <vector>

#include "base/ScopedHandle.h"

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

// Owns one COM interface pointer.
template <class T>
class CComRef {
public:
    CComRef() = default;
    ~CComRef() { Reset(); }
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;

    T* operator->() const { return pointer_; }
    T* Get() const { return pointer_; }
    T** Out() {
        Reset();
        return &pointer_;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    void Reset() {
        if (pointer_ != nullptr) pointer_->Release();
        pointer_ = nullptr;
    }

private:
    T* pointer_ = nullptr;
};

// An item list that the shell allocated, freed through the shell allocator.
class CItemList {
public:
    ~CItemList() { Reset(); }
    PIDLIST_ABSOLUTE Get() const { return list_; }
    PIDLIST_ABSOLUTE* Out() {
        Reset();
        return &list_;
    }
    void Reset() {
        if (list_ == nullptr) return;
        IMalloc* malloc = nullptr;
        if (SUCCEEDED(SHGetMalloc(&malloc))) {
            malloc->Free(list_);
            malloc->Release();
        }
        list_ = nullptr;
    }

private:
    PIDLIST_ABSOLUTE list_ = nullptr;
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
    CItemList chosen;
    *chosen.Out() = SHBrowseForFolderW(&info);
    if (chosen.Get() == nullptr) return false;
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(chosen.Get(), folder)) return false;
    *path = folder;
    return true;
}

void OpenFolderAndSelect(const std::wstring& path) {
    CComScope com;
    CComRef<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.OutVoid())))
        return;
    CItemList item;
    link->SetPath(path.c_str());
    link->GetIDList(item.Out());
    CComRef<IPersistFile> file;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.OutVoid()))) {
        // For a shortcut file, its target is what gets selected.
        std::wstring copy = path;
        if (SUCCEEDED(file->Load(copy.c_str(), 0))) link->GetIDList(item.Out());
    }
    if (item.Get() != nullptr) ShowInFolder(item.Get());
}

HRESULT CreateShortcut(const std::wstring& target, const std::wstring& arguments,
                       const std::wstring& workingFolder, const std::wstring& shortcutFile,
                       const std::wstring& description) {
    CComScope com;
    CComRef<IShellLinkW> link;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkW, link.OutVoid());
    if (FAILED(result)) return result;
    link->SetPath(target.c_str());
    link->SetArguments(arguments.c_str());
    link->SetDescription(description.c_str());
    link->SetWorkingDirectory(workingFolder.c_str());
    CComRef<IPersistFile> file;
    result = link->QueryInterface(IID_IPersistFile, file.OutVoid());
    if (FAILED(result)) return result;
    return file->Save(shortcutFile.c_str(), TRUE);
}
