#pragma once
// The main window: job list, format selector, toolbar, run wiring and the
// settings it writes back at close.
//
// While a run is in progress entries are never removed or reordered (Delete,
// Clear and sorting are refused), because the worker addresses entries by
// position; files may still be added, after the entries the run took.

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <mutex>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/batch_run.h"
#include "app/profile_store.h"
#include "core/path_index.h"
#include "framework/controls.h"
#include "framework/handles.h"
#include "framework/thread.h"
#include "ui/controls/auto_width_combo.h"
#include "ui/main/header_dlg.h"
#include "ui/controls/hyperlink.h"
#include "ui/main/job_item.h"
#include "ui/controls/list_ctrl_ex.h"
#include "ui/shell_resources.h"

// Posted by the worker as its last act.
constexpr UINT kMsgRunFinished = WM_USER + 401;
// Sent by the worker: run the std::function at lParam on the dialog's thread.
constexpr UINT kMsgInvoke = WM_USER + 402;
// Posted by the worker when its queue of entry updates stops being empty.
constexpr UINT kMsgRunUpdates = WM_USER + 403;

class CMainDlg : public CHeaderDlg {
public:
    // The settings record is read as it stands and written back at close;
    // it, the resources and the profile store (handed to the Options dialog)
    // must outlive the dialog. format -1 takes "LastFormat"; paths is the
    // command-line list or null.
    CMainDlg(CAppSettings& settings, const ShellResources& resources, IProfileStore& store, int format,
             const std::vector<std::string>* paths, HWND parent = nullptr);
    ~CMainDlg() override;

    virtual HACCEL GetAccelerators() { return m_accelerators; }

    // Job list operations.
    int AddFileToList(const char* path);
    int ExpandFolder(const char* folder, const char* patterns, bool includeSubfolders);
    bool IsInList(const char* path) const;
    std::string GetItemPath(int index) const;
    void ShowFileCount(int count);
    void MarkEntry(int index, EntryMark mark, ConvertFailure failure = ConvertFailure::None);
    // Clears the marks (and failure reasons) of entries 0..count-1 at once.
    void ClearMarks(int count);
    // Why the entry's last conversion failed; None unless it is marked failed.
    ConvertFailure EntryFailure(int index) const;
    // What the last read of the entry's file learnt; false if it was never read.
    void KeepContent(int index, const ContentReport& content);
    bool EntryContent(int index, ContentReport* content) const;
    int EntryCount() const { return static_cast<int>(m_entries.size()); }
    const JobItem* Entry(int index) const;
    void DeleteSelected();
    void ClearList();
    void OpenSelected();

    // The run; a check reads every file's line breaks and changes nothing.
    void StartRun(bool check = false);
    bool IsCheckRun() const { return m_checkRun; }
    // Why the entry is marked as it is, in words; "" when it is not.
    std::string EntryReason(int index) const;
    void RequestStop() { m_stopRequest = RunStop::Stop; }
    bool IsRunning() const { return m_running; }
    bool HasWorker() const { return m_worker.IsCreated(); }
    RunStop StopRequest() const { return m_stopRequest; }
    int CurrentEntry() const { return m_currentEntry; }
    int Succeeded() const { return m_counts.succeeded; }
    int FailedCount() const { return m_counts.failed; }
    int SkippedCount() const { return m_counts.skipped; }
    int Format() const { return m_format; }

    void UpdateKeepOnTop();
    void SetFeedbackLink();

    // What the run reports, carried out on the dialog's thread.
    void OnRunStart();
    void OnRunEnd();
    void SetStatusText(const char* text);
    void OnProgress(ProgressKind kind, int value);

    CSortListCtrl& JobList() { return m_list; }
    HWND ToolBar() const { return m_toolbar.m_hWnd; }

protected:
    // What the worker runs on each file.
    virtual IConverter& RunConverter();
    // Called on the dialog's thread as an entry's mark changes, before the
    // current entry follows it.
    virtual void OnMarkChanged(int /*index*/, EntryMark /*mark*/) {}
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
    void EditSystemMenu();
    void SetUpFormatSelector();
    void SetUpJobList();
    void TakeInCommandLine();
    void OnDropFiles(HDROP drop);
    void OnContextMenu(HWND wnd, POINT point);
    void OnRunFinished();
    void EnterRunningState();
    void LeaveRunningState();
    void OnHelp();
    void OnAddFiles();
    void OnAddFolder();
    void OnOptions();
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);
    void OnGetInfoTip(NMHDR* header);
    void OnGetDispInfo(NMHDR* header);
    int FindEntry(NMHDR* header) const;
    void SortEntries(const SortState& state);
    JobItem* Entry(int index);
    // Runs fn on the dialog's thread; the worker waits for it.
    void Invoke(const std::function<void()>& fn);
    DWORD WorkerBody();
    void WaitForWorker();

    CAppSettings& m_settings;
    const ShellResources& m_resources;
    IProfileStore& m_store;
    CHyperLink FeedbackLink;
    CHyperLink OptionsLink;
    CProgressCtrl m_progress;
    CAutoWidthComboBoxEx m_selector;
    CSortListCtrl m_list;
    int m_format;
    int m_closeWhenDone;
    int m_keepOnTop;
    HICON m_largeIcon = nullptr;
    CIconHandle m_smallIcon;
    CToolBarCtrl m_toolbar;
    CImageListHandle m_toolbarImages;
    CImageListHandle m_toolbarGreyImages;
    CImageListHandle m_stateImages;
    CImageListHandle m_headerImages;
    CImageListHandle m_selectorImages;
    HACCEL m_accelerators = nullptr;
    const std::vector<std::string>* m_startupPaths;

    CThread m_worker;
    bool m_running = false;
    std::atomic<RunStop> m_stopRequest{RunStop::None};
    int m_currentEntry = -1;
    // During a run the list's scrolling and the status line and progress bar
    // follow at most ten times a second (after the first steps, which show
    // as they come); a timer catches up with what was held back.
    static constexpr UINT_PTR kFollowTimer = 1;
    static constexpr DWORD kFollowIntervalMs = 100;
    static constexpr int kStepsShownAsTheyCome = 10;
    DWORD m_lastScroll = 0;
    int m_scrollPending = -1;
    DWORD m_lastProgress = 0;
    int m_progressPending = -1;
    int m_progressShown = 0;
    bool m_followTimer = false;
    void ScrollToEntry(int index);
    void ShowProgress(int done);
    void FollowLater();
    void CatchUp();
    // What the worker has to show for each entry (its marks, what its read
    // learnt, the progress after it) waits here for the dialog's thread,
    // which takes the whole queue at once: a run of thousands of small files
    // neither waits for a round trip per file nor repaints per file.
    struct RunUpdate {
        enum class Kind { Mark, Content, Progress } kind = Kind::Mark;
        int index = -1;
        EntryMark mark = EntryMark::None;
        ConvertFailure failure = ConvertFailure::None;
        ContentReport content;
    };
    std::mutex m_updatesLock;
    std::vector<RunUpdate> m_updates;
    void QueueRunUpdate(const RunUpdate& update);
    void ApplyRunUpdates();
    // The queue is taken at most ten times a second; what comes sooner
    // waits for a timer.
    static constexpr UINT_PTR kUpdatesTimer = 2;
    static constexpr DWORD kUpdatesIntervalMs = 100;
    DWORD m_lastUpdates = 0;
    bool m_updatesTimer = false;
    void OnRunUpdates();
    // Written by the worker while the dialog's thread waits for it.
    BatchCounts m_counts;
    LineEndingFormat m_runFormat = LineEndingFormat::Windows;
    bool m_checkRun = false;
    // The job list's entries, in the order shown; the list view itself is
    // virtual and keeps only selection and focus.
    std::vector<JobItem> m_entries;
    PathIndex m_index;
    // While a folder is expanded, selection, scrolling and the status line
    // are brought up to date once at the end instead of for every file.
    int m_expandDepth = 0;
    int m_lastAdded = -1;
    // With SHGFI_USEFILEATTRIBUTES the icon depends on the extension only.
    std::unordered_map<std::string, int> m_iconCache;
    int IconIndex(const char* path, bool directory);
    // The walk hands on files only, so no attribute call is needed for them.
    int AddPath(const char* path, bool knownFile);
    void ShowAdded(int index);
    void ShowEntryCount();
};
