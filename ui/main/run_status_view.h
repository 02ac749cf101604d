#pragma once
// The status line and the progress bar of the main window: the count of
// files, and what a run reports. During a run they follow at most ten times
// a second (after the first steps, which show as they come); a delayed task
// catches up with what was held back.

#include <windows.h>

#include "app/batch_run.h"
#include "app/job_list.h"
#include "framework/controls.h"
#include "framework/ui_task.h"

class RunController;

class CRunStatusView : public IProgressSink {
public:
    // The list gives the count a progress text shows; both must outlive this.
    CRunStatusView(const JobList& list, const RunController& run) : m_jobs(list), m_run(run) {}

    // The dialog's window, for its status line; on its thread.
    void Attach(HWND dialog);
    CProgressCtrl& Progress() { return m_progress; }
    void ShowFileCount(int count);
    // The summary of a run that could not start.
    void ShowNotStarted();

    void OnRunStart() override;
    void OnRunEnd() override;
    void SetStatusText(const char* text) override;
    void OnProgress(ProgressKind kind, int value) override;

private:
    void ShowProgress(int done);
    void CatchUp();

    const JobList& m_jobs;
    const RunController& m_run;
    HWND m_dialog = nullptr;
    CProgressCtrl m_progress;
    CUiTasks m_tasks;
    static constexpr DWORD kFollowIntervalMs = 100;
    static constexpr int kStepsShownAsTheyCome = 10;
    DWORD m_lastProgress = 0;
    int m_progressPending = -1;
    int m_progressShown = 0;
    bool m_followScheduled = false;
};
