#include "ui/main/run_status_view.h"

#include <cstdio>
#include <string>

#include "app/run_text.h"
#include "framework/resource_text.h"
#include "res/resource.h"
#include "ui/main/run_controller.h"

void CRunStatusView::Attach(HWND dialog) {
    m_dialog = dialog;
    m_tasks.Open();
}

void CRunStatusView::ShowFileCount(int count) {
    char text[300];
    std::snprintf(text, sizeof(text), LoadResourceText(IDS_FILES_ADDED).c_str(), count);
    SetDlgItemTextA(m_dialog, IDC_STATUS, text);
}

void CRunStatusView::ShowNotStarted() {
    char text[256];
    std::snprintf(text, sizeof(text), LoadResourceText(IDS_SUMMARY).c_str(),
                  LoadResourceText(IDS_ABORTED).c_str(), 0, 0);
    SetStatusText(text);
}

void CRunStatusView::OnRunStart() {
    SetDlgItemTextA(m_dialog, IDC_STATUS,
                    LoadResourceText(m_run.IsCheck() ? IDS_CHECKING : IDS_CONVERTING).c_str());
    m_progress.ShowWindow(SW_SHOW);
}

void CRunStatusView::OnRunEnd() {
    CatchUp();
    RunSummaryWords words;
    words.converted = LoadResourceText(IDS_CONVERTED);
    words.checked = LoadResourceText(IDS_CHECKED);
    words.aborted = LoadResourceText(IDS_ABORTED);
    words.summary = LoadResourceText(IDS_SUMMARY);
    words.summarySkipped = LoadResourceText(IDS_SUMMARY_SKIPPED);
    words.checkSummary = LoadResourceText(IDS_CHECK_SUMMARY);
    const std::string text =
        RunSummaryText(m_run.Counts(), m_run.IsCheck(), m_run.StopRequest() != RunStop::None, words);
    SetDlgItemTextA(m_dialog, IDC_STATUS, text.c_str());
    m_progress.ShowWindow(SW_HIDE);
}

void CRunStatusView::SetStatusText(const char* text) {
    SetDlgItemTextA(m_dialog, IDC_STATUS, text ? text : "");
}

void CRunStatusView::OnProgress(ProgressKind kind, int value) {
    if (kind == ProgressKind::Range) {
        m_progress.SetRange32(0, value);
        m_progress.SetPos(0);
        m_progressShown = 0;
        m_progressPending = -1;
    } else if (kind == ProgressKind::ItemDone) {
        if (m_progressShown < kStepsShownAsTheyCome || GetTickCount() - m_lastProgress >= kFollowIntervalMs) {
            ShowProgress(value);
        } else {
            m_progressPending = value;
            if (!m_followScheduled)
                m_followScheduled = m_tasks.PostAfter(kFollowIntervalMs, [this] { CatchUp(); });
        }
    }
}

void CRunStatusView::CatchUp() {
    m_followScheduled = false;
    // A delayed catch-up may come after the window has gone.
    if (m_progressPending >= 0 && m_progress.m_hwnd) ShowProgress(m_progressPending);
}

void CRunStatusView::ShowProgress(int done) {
    m_progress.SetPos(done);
    char text[256];
    std::snprintf(text, sizeof(text),
                  LoadResourceText(m_run.IsCheck() ? IDS_CHECK_PROGRESS : IDS_PROGRESS).c_str(), done + 1,
                  m_jobs.Count());
    SetDlgItemTextA(m_dialog, IDC_STATUS, text);
    ++m_progressShown;
    m_lastProgress = GetTickCount();
    m_progressPending = -1;
}
