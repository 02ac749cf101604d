#pragma once
// The main window: the job list view, format selector, toolbar, the run's
// buttons and status, and the settings it writes back at close. The entries
// live in the list view's model (app/job_list.h), the run in its controller.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/batch_run.h"
#include "app/profile_store.h"
#include "framework/controls.h"
#include "framework/handles.h"
#include "ui/controls/auto_width_combo.h"
#include "ui/controls/hyperlink.h"
#include "ui/controls/list_ctrl_ex.h"
#include "ui/main/header_dlg.h"
#include "ui/main/job_list_view.h"
#include "ui/main/run_controller.h"
#include "ui/main/run_status_view.h"
#include "ui/shell_resources.h"

class CMainDlg : public CHeaderDlg {
public:
    // The settings record is read as it stands and written back at close;
    // it, the resources and the profile store (handed to the Options dialog)
    // must outlive the dialog. format -1 takes "LastFormat"; paths is the
    // command-line list or null.
    CMainDlg(CAppSettings& settings, const ShellResources& resources, IProfileStore& store, int format,
             const std::vector<std::string>* paths, HWND parent = nullptr);
    ~CMainDlg() override;

    // The job list and the run, as the window drives them.
    CJobListView& Jobs() { return m_jobs; }
    const RunController& Run() const { return m_run; }

protected:
    // What the worker runs on each file.
    virtual IConverter& RunConverter();
    // Called on the dialog's thread as an entry's mark changes, before the
    // current entry follows it.
    virtual void OnMarkChanged(int /*index*/, EntryMark /*mark*/) {}
    // Tells the user something in a message box of the window.
    virtual void ShowMessage(const std::string& text);
    bool PreTranslateMessage(MSG* msg) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void DoDataExchange(bool save) override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    bool IsCommandEnabled(UINT id) override;

private:
    bool OnCreate();
    // The image lists drawn for `dpi`; false when one cannot be made.
    bool MakePictures(UINT dpi);
    void SetIconsAndFonts(UINT dpi);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    void EditSystemMenu();
    void TakeInCommandLine();
    void OnDropFiles(HDROP drop);
    void OnContextMenu(HWND wnd, POINT point);
    void OnAddFiles();
    void OnAddFolder();
    void OpenSelected();
    void UpdateKeepOnTop();
    void SetFeedbackLink();
    // The run; a check reads every file's line breaks and changes nothing.
    void StartRun(bool check = false);
    void ShowRunning(bool running);
    void OnRunFinished(RunStop stop);

    CAppSettings& m_settings;
    const ShellResources& m_resources;
    IProfileStore& m_store;
    CHyperLink m_feedbackLink;
    CHyperLink m_optionsLink;
    CAutoWidthComboBoxEx m_selector;
    int m_format;
    int m_closeWhenDone;
    int m_keepOnTop;
    bool m_checkRun = false;
    CIconHandle m_largeIcon;
    CIconHandle m_smallIcon;
    CFontHandle m_boldFont;
    CFontHandle m_linkFont;
    CToolBarCtrl m_toolbar;
    CImageListHandle m_toolbarImages;
    CImageListHandle m_toolbarGreyImages;
    CImageListHandle m_stateImages;
    CImageListHandle m_headerImages;
    CImageListHandle m_selectorImages;
    HACCEL m_accelerators = nullptr;
    const std::vector<std::string>* m_startupPaths;
    // The run is destroyed first: its worker reaches the views.
    CJobListView m_jobs;
    CRunStatusView m_status;
    RunController m_run;
};
