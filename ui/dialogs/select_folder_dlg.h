#pragma once
// CSelectFolderDlg: the resizable dialog in which the user picks one folder,
// the file types to take from it and whether its subfolders are walked.
//
// A folder given to preselect is found once the dialog is shown, one folder
// level per task posted to the dialog's own thread (every shell object
// belongs to it); between steps the dialog handles its other messages, and
// the steps still waiting when it goes are dropped.

#include <windows.h>

#include <string>

#include "framework/dialog.h"
#include "framework/dialog_resize.h"
#include "framework/ui_task.h"
#include "ui/dialogs/folder_tree_ctrl.h"
#include "ui/controls/auto_width_combo.h"

class CSelectFolderDlg : public CDialog {
public:
    explicit CSelectFolderDlg(HWND parent = nullptr);
    ~CSelectFolderDlg() override;

    std::string GetFolder() const { return m_folder; }
    std::string GetFileTypes() const { return m_fileTypesText; }
    bool IsPreselecting() const { return m_preselecting; }
    CFolderTreeCtrl& Tree() { return m_tree; }
    CAutoWidthComboBoxEx& FileTypes() { return m_fileTypes; }

    std::string m_title;
    std::string m_prompt;
    std::string m_filters;
    std::string m_fileTypesText = "*.*";
    int m_includeSubfolders = 0;
    std::string m_initialFolder;
    std::string m_folder;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    void DoDataExchange(bool save) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    // One step of the preselection, the first begins; true while another
    // step is needed.
    virtual bool SelectStep(bool first);

private:
    void PlaceAtFirstSize();
    void CutSystemMenu();
    void FillFileTypes();
    void OnFileTypeChosen();
    void StartPreselection();
    void EndPreselection();
    void NextSelectStep(bool first);

    CUiTasks m_selectSteps;
    bool m_preselecting = false;
    CAutoWidthComboBoxEx m_fileTypes;
    CFolderTreeCtrl m_tree;
    CDialogResize m_resize;
};
