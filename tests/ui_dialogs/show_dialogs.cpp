// Opens one of the dialogs for a screenshot (tools/screenshot):
// "options" the Options dialog, "addfiles" the Add Files dialog, "folder"
// the Add Folder dialog, "loading" its tree while a slow folder loads,
// "check" the main window after Check Line Breaks over files of every kind.
#include <windows.h>

#include <cstring>

#include "tests/ui_main/ui_test_support.h"
#include "ui/dialogs/folder_tree_ctrl.h"
#include "ui/dialogs/options_dlg.h"

namespace {
// The folder tree with a folder that takes half a minute to list.
class SlowFolderTree : public CFolderTreeCtrl {
protected:
    bool PopulateChildren(HTREEITEM item) override {
        if (GetItemText(item) != "slow") return CFolderTreeCtrl::PopulateChildren(item);
        SetProgress(0, 0);
        for (int i = 0; i < 300; ++i) {
            Sleep(100);
            StepProgress(i % 40 == 0 ? 1 : 0);
        }
        return true;
    }
};

class SlowLoadDialog : public CDialog {
public:
    SlowLoadDialog() : CDialog(IDD_SELECT_FOLDER) {}

protected:
    BOOL OnInitDialog() override {
        DDX_Control(IDC_FOLDER_TREE, m_tree);
        SetWindowText("Add a Folder");
        SetDlgItemTextA(m_hwnd, IDC_FOLDER_PROMPT, "Select a folder to convert");
        HTREEITEM root = m_tree.FillRoot();
        m_tree.Expand(root);
        TVINSERTSTRUCTA insert{};
        insert.hParent = root;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_CHILDREN | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        insert.item.pszText = const_cast<char*>("slow");
        insert.item.cChildren = 1;
        m_slow = (HTREEITEM)m_tree.SendMessage(TVM_INSERTITEMA, 0, (LPARAM)&insert);
        PostMessage(WM_APP);
        return TRUE;
    }
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        if (msg == WM_APP) {
            // Once the image list has arrived and the window is on screen.
            UpdateWindow(m_hwnd);
            Sleep(500);
            m_tree.Expand(m_slow);
            return true;
        }
        return CDialog::OnMessage(msg, wp, lp, result);
    }

private:
    SlowFolderTree m_tree;
    HTREEITEM m_slow = nullptr;
};
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    TestApp& app = TestApp::Get();
    ResetSettings();
    if (std::strstr(commandLine, "options")) {
        app.Settings().Options().defaultFilter = "*.txt";
        app.Settings().Options().program = "C:\\windows\\notepad.exe";
        COptionsDlg(app.Settings(), app.Store()).DoModal();
        return 0;
    }
    if (std::strstr(commandLine, "loading")) {
        SlowLoadDialog().DoModal();
        return 0;
    }
    TempFolder temp;
    if (std::strstr(commandLine, "check")) {
        const std::string utf16("\xFF\xFEW\0i\0n\0\r\0\n\0", 12);
        const std::pair<const char*, std::string> files[] = {
            {"readme.txt", "Read me\r\nfirst\r\n"},
            {"main.c", "int main()\n{\n}\n"},
            {"notes.txt", "a\r\nb\nc\r\nd\re\n"},
            {"logo.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\r", 12)},
            {"settings.reg", utf16},
            {"old.mac", "line\rline\r"},
        };
        TestMainDlg dialog(0, nullptr);
        if (!dialog.Create()) return 1;
        for (const auto& f : files) dialog.Jobs().AddFile(temp.Write(f.first, f.second).c_str());
        // As a user would drag it: the folder column narrowed so all three show.
        SendMessageA(dialog.Jobs().Control().m_hwnd, LVM_SETCOLUMNWIDTH, 1, 150);
        SendMessageA(dialog.Jobs().Control().m_hwnd, LVM_SETCOLUMNWIDTH, 2, 170);
        ShowWindow(dialog.m_hwnd, SW_SHOW);
        SendMessageA(dialog.m_hwnd, WM_COMMAND, MAKEWPARAM(ID_EDIT_CHECK, 0), 0);
        MSG msg;
        while (IsWindow(dialog.m_hwnd) && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return 0;
    }
    for (const char* name : {"readme.txt", "notes.txt", "main.c", "main.h"}) temp.Write(name, "x");
    app.Settings().Last().file = temp.Path() + "\\readme.txt";
    TestMainDlg dialog(-1, nullptr);
    if (!dialog.Create()) return 1;
    if (std::strstr(commandLine, "folder")) {
        for (const char* name : {"src", "src\\app", "src\\core", "src\\ui", "docs", "tests"})
            temp.MakeFolder(name);
        app.Settings().Last().folder = temp.Path() + "\\src";
        app.Settings().Options().defaultFilter = "*.c;*.h";
        SendMessageA(dialog.m_hwnd, WM_COMMAND, MAKEWPARAM(ID_EDIT_ADD_FOLDER, 0), 0);
        return 0;
    }
    SendMessageA(dialog.m_hwnd, WM_COMMAND, MAKEWPARAM(ID_EDIT_ADD_FILES, 0), 0);
    return 0;
}
