#include "ui/dialogs/shell_tree_ctrl.h"

#include <shlwapi.h>

#include <atomic>
#include <cstring>

#include "core/platform/win32_text.h"

using Microsoft::WRL::ComPtr;

namespace {
// Documented, but missing from some versions of the mingw-w64 headers.
constexpr DWORD kIncludeNonFileSystem = 0x2000;  // SHGDN_INCLUDE_NONFILESYS

std::atomic<long> g_liveItems{0};

// The shell's order of two items of one folder: -1, 0 or 1; a failure
// counts as equal.
int CompareInFolder(IShellFolder* folder, LPCITEMIDLIST first, LPCITEMIDLIST second) {
    if (!folder) return 0;
    HRESULT hr = folder->CompareIDs(0, first, second);
    if (FAILED(hr)) return 0;
    const short order = static_cast<short>(HRESULT_CODE(hr));
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

int CALLBACK CompareSiblings(LPARAM a, LPARAM b, LPARAM) {
    auto* first = CShellTreeCtrl::ItemData(a);
    auto* second = CShellTreeCtrl::ItemData(b);
    if (!first || !second) return 0;
    return CompareInFolder(second->folder.Get(), first->Relative(), second->Relative());
}

int IconIndex(LPCITEMIDLIST list, UINT extra) {
    SHFILEINFOA info{};
    if (!SHGetFileInfoA(reinterpret_cast<const char*>(list), 0, &info, sizeof(info),
                        SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | extra))
        return 0;
    return info.iIcon;
}

ULONG Attributes(IShellFolder* folder, LPCITEMIDLIST relative, ULONG asked) {
    ULONG attributes = asked;
    if (FAILED(folder->GetAttributesOf(1, &relative, &attributes))) return 0;
    return attributes & asked;
}
}  // namespace

CShellTreeCtrl::CShellTreeCtrl() = default;

CShellTreeCtrl::~CShellTreeCtrl() = default;

long CShellTreeCtrl::LiveItemCount() {
    return g_liveItems;
}

void CShellTreeCtrl::OnSubclassed() {
    CLoadingTreeCtrl::OnSubclassed();
    if (!m_desktop) SHGetDesktopFolder(&m_desktop);
    AttachImageList();
}

void CShellTreeCtrl::AttachImageList() {
    CItemIdList desktop;
    if (FAILED(SHGetSpecialFolderLocation(m_hwnd, CSIDL_DESKTOP, desktop.Out()))) return;
    SHFILEINFOA info{};
    auto list = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA(reinterpret_cast<const char*>(desktop.Get()), 0, &info, sizeof(info),
                       SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    // Posted: it takes effect once the dialog's loop runs, after the first
    // level was loaded during initialisation.
    if (list) PostMessage(TVM_SETIMAGELIST, TVSIL_NORMAL, (LPARAM)list);
}

HTREEITEM CShellTreeCtrl::FillRoot() {
    CItemIdList desktop;
    if (!m_desktop || FAILED(SHGetSpecialFolderLocation(m_hwnd, CSIDL_DESKTOP, desktop.Out())))
        return nullptr;
    return InsertShellItem(TVI_ROOT, m_desktop.Get(), nullptr, desktop.Get());
}

HTREEITEM CShellTreeCtrl::InsertShellItem(HTREEITEM parent, IShellFolder* folder, LPCITEMIDLIST parentList,
                                          LPCITEMIDLIST child) {
    auto* data = new ShellItemData;
    ++g_liveItems;
    data->folder = folder;
    data->idList.Reset(ConcatIdLists(parentList, child));
    const LPCITEMIDLIST rel = data->Relative();

    char text[MAX_PATH + 1] = "";
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    TVITEMA& item = insert.item;
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE | TVIF_CHILDREN | TVIF_PARAM;
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    item.lParam = reinterpret_cast<LPARAM>(data);
    if (folder && rel) {
        CStrRet name(rel);
        if (SUCCEEDED(folder->GetDisplayNameOf(rel, SHGDN_INFOLDER | kIncludeNonFileSystem, name.Out()))) {
            std::string shown = name.Text();
            std::strncpy(text, shown.c_str(), MAX_PATH - 1);
        }
        const ULONG look = Attributes(folder, rel, SFGAO_FOLDER | SFGAO_SHARE | SFGAO_LINK | SFGAO_GHOSTED);
        if (look & SFGAO_GHOSTED) {
            item.state |= TVIS_CUT;
            item.stateMask |= TVIS_CUT;
        }
        if (look & SFGAO_SHARE) {
            item.state |= INDEXTOOVERLAYMASK(1);
            item.stateMask |= TVIS_OVERLAYMASK;
        } else if (look & SFGAO_LINK) {
            item.state |= INDEXTOOVERLAYMASK(2);
            item.stateMask |= TVIS_OVERLAYMASK;
        }
        item.iImage = item.iSelectedImage = IconIndex(data->idList.Get(), 0);
        if (look & SFGAO_FOLDER) item.iSelectedImage = IconIndex(data->idList.Get(), SHGFI_OPENICON);

        const ULONG kind = Attributes(folder, rel, SFGAO_FOLDER | SFGAO_REMOVABLE);
        if (!(kind & SFGAO_FOLDER))
            item.cChildren = 0;
        else if (kind & SFGAO_REMOVABLE)
            item.cChildren = 1;  // never touch the medium to find out
        else
            item.cChildren = (Attributes(folder, rel, SFGAO_HASSUBFOLDER) & SFGAO_HASSUBFOLDER) ? 1 : 0;
    }
    auto inserted = (HTREEITEM)SendMessage(TVM_INSERTITEMA, 0, (LPARAM)&insert);
    if (!inserted) {
        delete data;
        --g_liveItems;
    }
    return inserted;
}

bool CShellTreeCtrl::EnumerateChildren(HTREEITEM parent, LPCITEMIDLIST parentList) {
    ComPtr<IShellFolder> folder;
    if (GetIdListSize(parentList) == 0)
        folder = m_desktop;
    else if (m_desktop)
        m_desktop->BindToObject(parentList, nullptr, IID_PPV_ARGS(&folder));
    if (!folder) return false;
    ComPtr<IEnumIDList> children;
    // S_FALSE also means no enumerator.
    if (folder->EnumObjects(m_hwnd, SHCONTF_FOLDERS, &children) == S_OK && children) {
        SetProgress(0, 0);
        CItemIdList child;
        while (children->Next(1, child.Out(), nullptr) == S_OK) {
            InsertShellItem(parent, folder.Get(), parentList, child.Get());
            StepProgress(1);
        }
        if (GetProgress() > 0) {
            TVSORTCB sort{};
            sort.hParent = parent;
            sort.lpfnCompare = &CompareSiblings;
            SendMessage(TVM_SORTCHILDRENCB, 0, (LPARAM)&sort);
        }
    }
    SetProgress(1, 1);
    return true;
}

bool CShellTreeCtrl::PopulateChildren(HTREEITEM item) {
    ShellItemData* data = item == TVI_ROOT ? nullptr : ItemDataOf(item);
    if (!data) return true;
    if (!EnumerateChildren(item, data->idList.Get())) return true;
    const std::string path = GetTreeItemPath(item);
    if (path.size() >= 3 && path[1] == ':') {
        // Media may come later: an empty result keeps the expand button.
        if (GetDriveTypeA(path.substr(0, 3).c_str()) != DRIVE_FIXED) return false;  // the root, such as "C:\"
    }
    return true;
}

std::string CShellTreeCtrl::GetTreeItemPath(HTREEITEM item) const {
    ShellItemData* data = item ? ItemDataOf(item) : nullptr;
    if (!data) return std::string();
    // Asked in UTF-16: the narrow call has MAX_PATH bytes for a path whose
    // UTF-8 form may be longer, and no way to say it did not fit.
    wchar_t wide[MAX_PATH] = L"";
    std::string path;
    if (SHGetPathFromIDListW(data->idList.Get(), wide)) return NarrowName(wide, &path) ? path : std::string();
    // That call stops at MAX_PATH; the parent folder names a file-system
    // item at any length.
    if (!data->folder) return std::string();
    LPCITEMIDLIST child = data->Relative();
    SFGAOF attributes = SFGAO_FILESYSTEM;
    STRRET name{};
    wchar_t* text = nullptr;
    if (FAILED(data->folder->GetAttributesOf(1, &child, &attributes)) || !(attributes & SFGAO_FILESYSTEM) ||
        FAILED(data->folder->GetDisplayNameOf(child, SHGDN_FORPARSING, &name)) ||
        FAILED(StrRetToStrW(&name, child, &text)))
        return std::string();
    const bool named = NarrowName(text, &path);
    CoTaskMemFree(text);
    return named ? path : std::string();
}

HTREEITEM CShellTreeCtrl::FindChild(HTREEITEM parent, LPCITEMIDLIST list) const {
    const LPCITEMIDLIST wanted = GetLastItemId(list);
    for (HTREEITEM child = GetChildItem(parent); child; child = GetNextSiblingItem(child)) {
        ShellItemData* data = ItemDataOf(child);
        if (!data || !data->folder) continue;
        HRESULT hr = data->folder->CompareIDs(0, data->Relative(), wanted);
        if (SUCCEEDED(hr) && static_cast<short>(HRESULT_CODE(hr)) == 0) return child;
    }
    return nullptr;
}

bool CShellTreeCtrl::BeginSelectPath(const char* path) {
    m_pathSelected = false;
    m_selectCurrent = m_selectFound = nullptr;
    m_selectComponent = m_selectOffset = 0;
    m_selectAccumulated.clear();
    HTREEITEM root = GetRootItem();
    if (!root || !path) return false;
    Expand(root);
    CItemIdList drives;
    if (FAILED(SHGetSpecialFolderLocation(m_hwnd, CSIDL_DRIVES, drives.Out()))) return false;
    m_selectCurrent = FindChild(root, drives.Get());
    if (!m_selectCurrent) return false;
    m_selectPath = path;
    for (char& c : m_selectPath)
        if (c == '/') c = '\\';
    while (!m_selectPath.empty() && m_selectPath.back() == '\\') m_selectPath.pop_back();
    return true;
}

bool CShellTreeCtrl::SelectPathStep() {
    if (!m_selectCurrent) return false;
    Expand(m_selectCurrent);
    // The next non-empty component: a doubled separator names nothing.
    while (m_selectOffset < m_selectPath.size() && m_selectPath[m_selectOffset] == '\\') ++m_selectOffset;
    if (m_selectOffset >= m_selectPath.size()) {
        if (m_selectFound) m_pathSelected = SelectItem(m_selectFound);
        m_selectCurrent = nullptr;
        return false;
    }
    size_t end = m_selectPath.find('\\', m_selectOffset);
    if (end == std::string::npos) end = m_selectPath.size();
    const std::string component = m_selectPath.substr(m_selectOffset, end - m_selectOffset);
    m_selectOffset = end;
    ++m_selectComponent;
    while (!m_selectAccumulated.empty() && m_selectAccumulated.back() == '\\') m_selectAccumulated.pop_back();
    m_selectAccumulated =
        m_selectAccumulated.empty() ? component + "\\" : m_selectAccumulated + "\\" + component;
    CItemIdList list(ParsePath(m_desktop.Get(), m_selectAccumulated.c_str()));
    m_selectFound = list ? FindChild(m_selectCurrent, list.Get()) : nullptr;
    m_selectCurrent = m_selectFound;
    return m_selectCurrent != nullptr;
}

bool CShellTreeCtrl::SelectPath(const char* path) {
    if (!BeginSelectPath(path)) return false;
    while (SelectPathStep()) {
    }
    return m_pathSelected;
}

void CShellTreeCtrl::FreeItem(HTREEITEM, LPARAM data) {
    if (!data) return;
    delete ItemData(data);
    --g_liveItems;
}

bool CShellTreeCtrl::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == kReflectNotify) {
        auto* header = reinterpret_cast<NMHDR*>(lp);
        if (header->code == TVN_DELETEITEMA || header->code == TVN_DELETEITEMW) {
            const auto& view = *reinterpret_cast<NMTREEVIEWA*>(lp);
            FreeItem(view.itemOld.hItem, view.itemOld.lParam);
            result = 0;
            return true;
        }
    } else if (msg == WM_DESTROY) {
        // Free every item's data now, while the parent still passes the
        // deletions on to us.
        SendMessage(TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
    }
    return CLoadingTreeCtrl::OnMessage(msg, wp, lp, result);
}
