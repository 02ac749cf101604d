#pragma once
// CShellTreeCtrl: the shell namespace as a lazy tree of folders. One root,
// the desktop; each level is enumerated on its first expansion with the
// shell's names, icons and overlays and in the shell's order. Every shell
// object is used on the window's thread only.

#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <string>

#include "ui/controls/loading_tree_ctrl.h"
#include "ui/dialogs/shell_id_list.h"

// The data of every tree item that stands for a shell object: the folder
// that holds it and its absolute ID list. Owned by the tree.
struct ShellItemData {
    Microsoft::WRL::ComPtr<IShellFolder> folder;
    CItemIdList idList;
    LPCITEMIDLIST Relative() const { return GetLastItemId(idList.Get()); }
};

class CShellTreeCtrl : public CLoadingTreeCtrl {
public:
    CShellTreeCtrl();
    ~CShellTreeCtrl() override;

    // Inserts the desktop as the only root item and returns it.
    HTREEITEM FillRoot();
    // Expands the tree down to the folder of a file-system path ("/" or "\",
    // trailing separators allowed) and selects it; true if it was found.
    bool SelectPath(const char* path);
    // The same, one folder level per call, so the window's thread can handle
    // other messages in between. Begin returns false if there is nothing to
    // look for; each step returns whether another is needed.
    bool BeginSelectPath(const char* path);
    bool SelectPathStep();
    // Whether the last path selection ended with an item selected.
    bool PathSelected() const { return m_pathSelected; }

    std::string GetTreeItemPath(HTREEITEM item) const;
    std::string GetSelectedPath() const { return GetTreeItemPath(GetSelectedItem()); }
    static ShellItemData* ItemData(LPARAM data) { return reinterpret_cast<ShellItemData*>(data); }
    ShellItemData* ItemDataOf(HTREEITEM item) const { return ItemData(GetItemData(item)); }
    // Tree items holding shell data in this process (for leak checks).
    static long LiveItemCount();

protected:
    bool PopulateChildren(HTREEITEM item) override;
    void OnSubclassed() override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

    HTREEITEM InsertShellItem(HTREEITEM parent, IShellFolder* folder, LPCITEMIDLIST parentList,
                              LPCITEMIDLIST child);
    bool EnumerateChildren(HTREEITEM parent, LPCITEMIDLIST parentList);
    // The child of parent that the shell holds equal to the last item of list.
    HTREEITEM FindChild(HTREEITEM parent, LPCITEMIDLIST list) const;

    Microsoft::WRL::ComPtr<IShellFolder> m_desktop;

private:
    void AttachImageList();
    void FreeItem(HTREEITEM item, LPARAM data);

    // The path selection in progress.
    std::string m_selectPath;
    std::string m_selectAccumulated;
    HTREEITEM m_selectCurrent = nullptr;
    HTREEITEM m_selectFound = nullptr;
    size_t m_selectComponent = 0;
    size_t m_selectOffset = 0;
    bool m_pathSelected = false;
};
