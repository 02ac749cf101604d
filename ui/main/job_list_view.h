#pragma once
// The job list as the main window shows it: a virtual list view over the
// JobList model, which it fills (files, folders walked), marks, sorts and
// asks for what it paints. It is also the run's job source on the UI thread.
//
// While a run is in progress entries are never removed or reordered (Delete,
// Clear and sorting are refused), because the worker addresses entries by
// position; files may still be added, after the entries the run took.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

#include "app/batch_run.h"
#include "app/job_list.h"
#include "framework/ui_task.h"
#include "ui/controls/list_ctrl_ex.h"
#include "ui/shell_resources.h"

class CJobListView : public IJobSource {
public:
    explicit CJobListView(const ShellResources& resources);

    CSortListCtrl& Control() { return m_list; }
    const JobList& Model() const { return m_jobs; }
    // Once the control is bound: columns, pictures and the sorter.
    void SetUp(HIMAGELIST stateImages, HIMAGELIST headerImages);
    // The window moved to a monitor of another scale: new marks, and the
    // columns' widths scaled from the old DPI to the new.
    void Rescale(UINT oldDpi, UINT newDpi, HIMAGELIST stateImages);
    // Told the count of entries after each change the user sees, and each
    // change of an entry's mark before the current entry follows it.
    std::function<void(int count)> onCountShown;
    std::function<void(int index, EntryMark mark)> onMarkChanged;

    int AddFile(const char* path);
    // skipIgnored: inside a Git working tree, leave out what Git ignores.
    int ExpandFolder(const char* folder, const char* patterns, bool includeSubfolders,
                     bool skipIgnored = true);
    void DeleteSelected();
    void Clear();
    // Between a run's start and end: edits refused, scrolling throttled, and
    // what a read learns marked as a check's or not.
    void SetRunning(bool running, bool check);
    // Why the entry is marked as it is, in words; "" when it is not.
    std::string EntryReason(int index) const;
    // The list's notifications; false for those it leaves to others.
    bool OnNotify(NMHDR* header, LRESULT& result);

    int GetItemCount() override { return m_jobs.Count(); }
    std::string GetItemPath(int index) override { return m_jobs.Path(index); }
    void MarkEntry(int index, EntryMark mark, ConvertFailure failure) override;
    void ClearMarks(int count) override;
    void KeepContent(int index, const ContentReport& content) override;
    void KeepRule(int index, const ProjectRule& rule) override;

private:
    // The walk hands on files only, so no attribute call is needed for them.
    int AddPath(const char* path, bool knownFile);
    void ShowAdded(int index);
    void ShowEntryCount();
    void Sort(const SortState& state);
    void OnGetDispInfo(NMHDR* header);
    void OnGetInfoTip(NMHDR* header);
    int FindEntry(NMHDR* header) const;
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);
    void ScrollToEntry(int index);
    void CatchUp();

    const ShellResources& m_resources;
    JobList m_jobs;
    CSortListCtrl m_list;
    CUiTasks m_tasks;
    bool m_running = false;
    bool m_check = false;
    // While a folder is expanded, selection, scrolling and the status line
    // are brought up to date once at the end instead of for every file.
    int m_expandDepth = 0;
    int m_lastAdded = -1;
    // Each scroll repaints the whole list: during a run it follows the
    // current entry at most ten times a second.
    static constexpr DWORD kFollowIntervalMs = 100;
    DWORD m_lastScroll = 0;
    int m_scrollPending = -1;
    bool m_followScheduled = false;
};
