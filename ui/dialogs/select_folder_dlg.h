#pragma once
// CSelectFolderDlg: the resizable dialog in which the user picks one folder,
// the file types to take from it and whether its subfolders are walked.
//
// A folder given to preselect is found on a short-lived thread of its own
// once the dialog is shown. Every shell object belongs to the dialog's
// thread, so that thread only asks the dialog, one folder level per message,
// to take the next step; between steps the dialog handles its other
// messages, and the thread never touches the dialog object itself.

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "framework/dialog.h"
#include "framework/dialog_resize.h"
#include "framework/thread.h"
#include "ui/dialogs/folder_tree_ctrl.h"
#include "ui/controls/auto_width_combo.h"

// Posted by the preselection thread as its last act.
constexpr UINT WM_SELECT_THREAD_DONE = WM_USER + 999;
// Sent by the preselection thread: wParam 1 begins, 0 takes the next step;
// the answer is nonzero while another step is needed.
constexpr UINT kMsgSelectStep = WM_USER + 998;

class CSelectFolderDlg : public CDialog {
public:
    explicit CSelectFolderDlg(HWND parent = nullptr);
    ~CSelectFolderDlg() override;

    std::string GetFolder() const { return m_strFolder; }
    std::string GetFileTypes() const { return m_strFileTypes; }
    bool IsPreselecting() const { return m_pSelectThread != nullptr; }
    CFolderTreeCtrl& Tree() { return m_tree; }
    CAutoWidthComboBoxEx& FileTypes() { return m_fileTypes; }

    std::string m_strTitle;
    std::string m_strPrompt;
    std::string m_strFilters;
    std::string m_strFileTypes = "*.*";
    int m_bIncludeSubfolders = 0;
    std::string m_strInitialFolder;
    std::string m_strFolder;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    void DoDataExchange(bool save) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void PlaceAtFirstSize();
    void CutSystemMenu();
    void FillFileTypes();
    void OnFileTypeChosen();
    void StartPreselection();
    void EndPreselection();

    std::unique_ptr<CThread> m_pSelectThread;
    // Set once the dialog goes: a step asked for after that does nothing.
    std::atomic<bool> m_selectCancelled{false};
    CAutoWidthComboBoxEx m_fileTypes;
    CFolderTreeCtrl m_tree;
    CDialogResize m_resize;
};
