// The run wiring of the main dialog: the worker thread, the synchronous
// hand-over of every control access to the dialog's thread, and the end.
#include <cstdio>

#include "framework/resource_text.h"
#include "res/resource.h"
#include "ui/main/main_dlg.h"

void CMainDlg::Invoke(const std::function<void()>& fn) {
    if (!m_hWnd) return;
    if (GetWindowThreadProcessId(m_hWnd, nullptr) == GetCurrentThreadId())
        fn();
    else
        ::SendMessageA(m_hWnd, kMsgInvoke, 0, reinterpret_cast<LPARAM>(&fn));
}

void CMainDlg::EnterRunningState() {
    ::ShowWindow(GetDlgItem(IDC_CONVERT), SW_HIDE);
    HWND stop = GetDlgItem(IDC_STOP);
    ::ShowWindow(stop, SW_SHOW);
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(stop), TRUE);
    m_selector.EnableWindow(false);
    m_running = true;
    m_list.SetSortLocked(true);
    SetFeedbackLink();
}

void CMainDlg::LeaveRunningState() {
    HWND convert = GetDlgItem(IDC_CONVERT);
    ::ShowWindow(convert, SW_SHOW);
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(convert), TRUE);
    ::ShowWindow(GetDlgItem(IDC_STOP), SW_HIDE);
    m_selector.EnableWindow(true);
    m_running = false;
    m_list.SetSortLocked(false);
    SetFeedbackLink();
}

void CMainDlg::StartRun(bool check) {
    if (m_running || !m_hWnd) return;
    m_checkRun = check;
    DDX_CBIndex(true, IDC_FORMAT, m_format);
    DDX_Check(true, IDC_CLOSE_WHEN_DONE, m_closeWhenDone);
    DDX_Check(true, IDC_KEEP_ON_TOP, m_keepOnTop);
    // The selector's index is the format's number.
    m_runFormat = static_cast<LineEndingFormat>(m_format);
    EnterRunningState();
    m_stopRequest = RunStop::None;
    if (!m_worker.Create([this] { return WorkerBody(); }, true)) {
        // No thread, no run: back to idle rather than stuck with Stop shown.
        LeaveRunningState();
        char text[256];
        std::snprintf(text, sizeof(text), LoadResourceText(IDS_SUMMARY).c_str(),
                      LoadResourceText(IDS_ABORTED).c_str(), 0, 0);
        SetStatusText(text);
        return;
    }
    m_worker.Resume();
}

void CMainDlg::QueueRunUpdate(const RunUpdate& update) {
    bool wasEmpty;
    {
        std::lock_guard<std::mutex> hold(m_updatesLock);
        wasEmpty = m_updates.empty();
        m_updates.push_back(update);
    }
    // One message stands for everything queued until it is served; if it
    // cannot be posted, the next synchronous step takes the queue along.
    if (wasEmpty && m_hWnd) ::PostMessageA(m_hWnd, kMsgRunUpdates, 0, 0);
}

void CMainDlg::OnRunUpdates() {
    const DWORD since = GetTickCount() - m_lastUpdates;
    if (since >= kUpdatesIntervalMs) {
        ApplyRunUpdates();
    } else if (!m_updatesTimer) {
        m_updatesTimer = SetTimer(m_hWnd, kUpdatesTimer, kUpdatesIntervalMs - since, nullptr) != 0;
        if (!m_updatesTimer) ApplyRunUpdates();
    }
}

void CMainDlg::ApplyRunUpdates() {
    if (m_updatesTimer) KillTimer(m_hWnd, kUpdatesTimer);
    m_updatesTimer = false;
    m_lastUpdates = GetTickCount();
    std::vector<RunUpdate> updates;
    {
        std::lock_guard<std::mutex> hold(m_updatesLock);
        updates.swap(m_updates);
    }
    for (const RunUpdate& u : updates) {
        switch (u.kind) {
            case RunUpdate::Kind::Mark:
                MarkEntry(u.index, u.mark, u.failure);
                break;
            case RunUpdate::Kind::Content:
                KeepContent(u.index, u.content);
                break;
            case RunUpdate::Kind::Progress:
                OnProgress(ProgressKind::ItemDone, u.index);
                break;
        }
    }
}

IConverter& CMainDlg::RunConverter() {
    return m_checkRun ? CheckConverter() : FileConverter();
}

DWORD CMainDlg::WorkerBody() {
    // Every step that touches a control runs on the dialog's thread. The
    // steps of each entry are queued for it without waiting (see
    // QueueRunUpdate); the rare steps that start and end the run wait, and
    // take what is queued along first, so everything arrives in order.
    struct Source : IJobSource {
        CMainDlg* dlg;
        std::vector<std::string> paths;
        int GetItemCount() override {
            int n = 0;
            dlg->Invoke([&] {
                dlg->ApplyRunUpdates();
                n = dlg->EntryCount();
                paths.clear();
                paths.reserve(n);
                for (int i = 0; i < n; ++i) paths.push_back(dlg->GetItemPath(i));
            });
            return n;
        }
        std::string GetItemPath(int index) override {
            // Entries are neither removed nor reordered while a run goes on.
            if (index >= 0 && index < static_cast<int>(paths.size())) return paths[index];
            std::string path;
            dlg->Invoke([&] { path = dlg->GetItemPath(index); });
            return path;
        }
        void MarkEntry(int index, EntryMark mark, ConvertFailure failure) override {
            RunUpdate update;
            update.kind = RunUpdate::Kind::Mark;
            update.index = index;
            update.mark = mark;
            update.failure = failure;
            dlg->QueueRunUpdate(update);
        }
        void ClearMarks(int count) override {
            dlg->Invoke([&] {
                dlg->ApplyRunUpdates();
                dlg->ClearMarks(count);
            });
        }
        void KeepContent(int index, const ContentReport& content) override {
            RunUpdate update;
            update.kind = RunUpdate::Kind::Content;
            update.index = index;
            update.content = content;
            dlg->QueueRunUpdate(update);
        }
    } source;
    source.dlg = this;
    struct Sink : IProgressSink {
        CMainDlg* dlg;
        void OnRunStart() override {
            dlg->Invoke([&] { dlg->OnRunStart(); });
        }
        void OnRunEnd() override {
            dlg->Invoke([&] {
                dlg->ApplyRunUpdates();
                dlg->OnRunEnd();
            });
        }
        void SetStatusText(const char* text) override {
            dlg->Invoke([&] {
                dlg->ApplyRunUpdates();
                dlg->SetStatusText(text);
            });
        }
        void OnProgress(ProgressKind kind, int value) override {
            if (kind == ProgressKind::ItemDone) {
                RunUpdate update;
                update.kind = RunUpdate::Kind::Progress;
                update.index = value;
                dlg->QueueRunUpdate(update);
                return;
            }
            dlg->Invoke([&] {
                dlg->ApplyRunUpdates();
                dlg->OnProgress(kind, value);
            });
        }
    } sink;
    sink.dlg = this;

    RunBatch(source, sink, m_stopRequest, m_runFormat, m_settings, &m_counts, RunConverter());
    HWND wnd = m_hWnd;
    if (wnd) ::PostMessageA(wnd, kMsgRunFinished, 0, 0);
    return 0;
}

void CMainDlg::WaitForWorker() {
    // The worker may be inside a SendMessage to us: serve sent messages
    // (only those) until it has ended.
    HANDLE thread = m_worker.Handle();
    while (thread) {
        DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    m_worker.Join();
}

void CMainDlg::OnRunFinished() {
    if (m_worker.IsCreated()) WaitForWorker();
    LeaveRunningState();
    const RunStop stop = m_stopRequest;
    bool fromCommandLine = m_startupPaths != nullptr && m_settings.AutoStart;
    // A check is for reading the list: it never closes the dialog.
    if (stop == RunStop::None && !m_checkRun &&
        ((m_closeWhenDone && m_counts.failed == 0) || fromCommandLine))
        PostMessage(WM_CLOSE);
    if (stop == RunStop::Close) EndDialog(IDCANCEL);
}

void CMainDlg::OnRunStart() {
    SetDlgItemTextA(m_hWnd, IDC_STATUS, LoadResourceText(m_checkRun ? IDS_CHECKING : IDS_CONVERTING).c_str());
    m_progress.ShowWindow(SW_SHOW);
}

void CMainDlg::OnRunEnd() {
    CatchUp();
    char text[512];
    const bool stopped = m_stopRequest != RunStop::None;
    std::string word = LoadResourceText(stopped ? IDS_ABORTED : m_checkRun ? IDS_CHECKED : IDS_CONVERTED);
    // Skipped files get their own count; without them the summary is as before.
    if (m_checkRun)
        std::snprintf(text, sizeof(text), LoadResourceText(IDS_CHECK_SUMMARY).c_str(), word.c_str(),
                      m_counts.succeeded, m_counts.failed);
    else if (m_counts.skipped > 0)
        std::snprintf(text, sizeof(text), LoadResourceText(IDS_SUMMARY_SKIPPED).c_str(), word.c_str(),
                      m_counts.succeeded, m_counts.failed, m_counts.skipped);
    else
        std::snprintf(text, sizeof(text), LoadResourceText(IDS_SUMMARY).c_str(), word.c_str(),
                      m_counts.succeeded, m_counts.failed);
    SetDlgItemTextA(m_hWnd, IDC_STATUS, text);
    m_progress.ShowWindow(SW_HIDE);
}

void CMainDlg::SetStatusText(const char* text) {
    SetDlgItemTextA(m_hWnd, IDC_STATUS, text ? text : "");
}

void CMainDlg::OnProgress(ProgressKind kind, int value) {
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
            FollowLater();
        }
    }
}

void CMainDlg::ShowProgress(int done) {
    m_progress.SetPos(done);
    char text[256];
    std::snprintf(text, sizeof(text),
                  LoadResourceText(m_checkRun ? IDS_CHECK_PROGRESS : IDS_PROGRESS).c_str(), done + 1,
                  EntryCount());
    SetDlgItemTextA(m_hWnd, IDC_STATUS, text);
    ++m_progressShown;
    m_lastProgress = GetTickCount();
    m_progressPending = -1;
}
