#include "shell_selection.h"

#include <shlobj.h>

IDataObject* ShellSelection(const std::wstring& folder, const std::vector<std::wstring>& names) {
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop))) return nullptr;
    IShellFolder* parent = nullptr;
    PIDLIST_RELATIVE folderId = nullptr;
    std::wstring display = folder;
    HRESULT hr = desktop->ParseDisplayName(nullptr, nullptr, &display[0], nullptr, &folderId, nullptr);
    if (SUCCEEDED(hr))
        hr = desktop->BindToObject(folderId, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&parent));
    std::vector<PITEMID_CHILD> children;
    for (size_t i = 0; SUCCEEDED(hr) && i < names.size(); ++i) {
        std::wstring name = names[i];
        PIDLIST_RELATIVE child = nullptr;
        hr = parent->ParseDisplayName(nullptr, nullptr, &name[0], nullptr, &child, nullptr);
        if (SUCCEEDED(hr)) children.push_back(reinterpret_cast<PITEMID_CHILD>(child));
    }
    IDataObject* data = nullptr;
    if (SUCCEEDED(hr))
        hr = parent->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()),
                                   const_cast<PCUITEMID_CHILD_ARRAY>(children.data()), IID_IDataObject,
                                   nullptr, reinterpret_cast<void**>(&data));
    for (PITEMID_CHILD child : children) CoTaskMemFree(child);
    CoTaskMemFree(folderId);
    if (parent) parent->Release();
    desktop->Release();
    return SUCCEEDED(hr) ? data : nullptr;
}

IDataObject* ShellSelectionOf(const std::string& path) {
    const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (n <= 0) return nullptr;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
    const size_t slash = wide.find_last_of(L'\\');
    if (slash == std::wstring::npos) return nullptr;
    // A root keeps its separator: "C:\\" is a folder, "C:" is not.
    const std::wstring folder = wide.substr(0, slash == 2 ? 3 : slash);
    return ShellSelection(folder, {wide.substr(slash + 1)});
}
