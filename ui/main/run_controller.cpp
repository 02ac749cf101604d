#include "ui/main/run_controller.h"

#include <future>
#include <memory>
#include <string>

// The job list as the worker sees it: every read and the rare steps wait for
// the UI thread; the steps of each entry are queued.
class RunController::WorkerSource : public IJobSource {
public:
    explicit WorkerSource(RunController& run) : m_run(run) {}
    int GetItemCount() override {
        int n = 0;
        m_run.Send([&] {
            m_run.ApplyQueued();
            n = m_run.m_list.GetItemCount();
            m_paths.clear();
            m_paths.reserve(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) m_paths.push_back(m_run.m_list.GetItemPath(i));
        });
        return n;
    }
    std::string GetItemPath(int index) override {
        // Entries are neither removed nor reordered while a run goes on.
        if (index >= 0 && index < static_cast<int>(m_paths.size()))
            return m_paths[static_cast<size_t>(index)];
        std::string path;
        m_run.Send([&] { path = m_run.m_list.GetItemPath(index); });
        return path;
    }
    void MarkEntry(int index, EntryMark mark, ConvertFailure failure) override {
        Update update;
        update.kind = Update::Kind::Mark;
        update.index = index;
        update.mark = mark;
        update.failure = failure;
        m_run.Queue(std::move(update));
    }
    void ClearMarks(int count) override {
        m_run.Send([&] {
            m_run.ApplyQueued();
            m_run.m_list.ClearMarks(count);
        });
    }
    void KeepContent(int index, const ContentReport& content) override {
        Update update;
        update.kind = Update::Kind::Content;
        update.index = index;
        update.content = content;
        m_run.Queue(std::move(update));
    }
    void KeepRule(int index, const ProjectRule& rule) override {
        Update update;
        update.kind = Update::Kind::Rule;
        update.index = index;
        update.rule = rule;
        m_run.Queue(std::move(update));
    }

private:
    RunController& m_run;
    std::vector<std::string> m_paths;
};

class RunController::WorkerSink : public IProgressSink {
public:
    explicit WorkerSink(RunController& run) : m_run(run) {}
    void OnRunStart() override {
        m_run.Send([&] { m_run.m_sink.OnRunStart(); });
    }
    void OnRunEnd() override {
        m_run.Send([&] {
            m_run.ApplyQueued();
            m_run.m_counts = m_run.m_workerCounts;
            m_run.m_sink.OnRunEnd();
        });
    }
    void SetStatusText(const char* text) override {
        m_run.Send([&] {
            m_run.ApplyQueued();
            m_run.m_sink.SetStatusText(text);
        });
    }
    void OnProgress(ProgressKind kind, int value) override {
        if (kind == ProgressKind::ItemDone) {
            Update update;
            update.kind = Update::Kind::Progress;
            update.index = value;
            m_run.Queue(std::move(update));
            return;
        }
        m_run.Send([&] {
            m_run.ApplyQueued();
            m_run.m_sink.OnProgress(kind, value);
        });
    }

private:
    RunController& m_run;
};

RunController::RunController(const CAppSettings& settings, IJobSource& list, IProgressSink& sink,
                             std::function<void(RunStop)> finished)
    : m_settings(settings), m_list(list), m_sink(sink), m_finished(std::move(finished)) {}

RunController::~RunController() {
    Shutdown();
}

bool RunController::Start(LineEndingFormat format, bool check, IConverter& converter) {
    if (m_running || m_worker.IsCreated() || !m_tasks.Open()) return false;
    m_format = format;
    m_check = check;
    m_converter = &converter;
    m_counts = BatchCounts();
    m_stopRequest = RunStop::None;
    m_stopToken.Reset();
    if (!m_worker.Create([this] { return WorkerBody(); }, true)) return false;
    m_running = true;
    m_worker.Resume();
    return true;
}

void RunController::Request(RunStop stop) {
    m_stopRequest = stop;
    m_stopToken.Request();
}

void RunController::Shutdown() {
    if (!m_worker.IsCreated()) return;
    Request(RunStop::Close);
    // A worker waiting for this thread is let go: its task is dropped.
    m_tasks.Close();
    Join();
    m_running = false;
}

DWORD RunController::WorkerBody() {
    WorkerSource source(*this);
    WorkerSink sink(*this);
    RunBatch(source, sink, m_stopToken, m_format, m_settings, &m_workerCounts, *m_converter);
    m_tasks.Post([this] { Finish(); });
    return 0;
}

void RunController::Join() {
    HANDLE thread = m_worker.Handle();
    while (thread) {
        DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    m_worker.Join();
}

void RunController::Send(UiTask task) {
    // The promise dies unkept if the task is dropped: the wait ends then too.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    m_tasks.Post([task = std::move(task), done] {
        task();
        done->set_value();
    });
    finished.wait();
}

void RunController::Queue(Update update) {
    bool wasEmpty;
    {
        std::lock_guard<std::mutex> hold(m_queueLock);
        wasEmpty = m_queue.empty();
        m_queue.push_back(std::move(update));
    }
    // One task stands for everything queued until it is served; if it
    // cannot be posted, the next waiting step takes the queue along.
    if (wasEmpty) m_tasks.Post([this] { OnQueued(); });
}

void RunController::OnQueued() {
    const DWORD since = GetTickCount() - m_lastApplied;
    if (since >= kQueueIntervalMs) {
        ApplyQueued();
    } else if (!m_applyScheduled) {
        const unsigned generation = m_applyGeneration;
        m_applyScheduled = m_tasks.PostAfter(kQueueIntervalMs - since, [this, generation] {
            if (generation == m_applyGeneration) ApplyQueued();
        });
        if (!m_applyScheduled) ApplyQueued();
    }
}

void RunController::ApplyQueued() {
    ++m_applyGeneration;
    m_applyScheduled = false;
    m_lastApplied = GetTickCount();
    std::vector<Update> updates;
    {
        std::lock_guard<std::mutex> hold(m_queueLock);
        updates.swap(m_queue);
    }
    for (const Update& u : updates) {
        switch (u.kind) {
            case Update::Kind::Mark:
                m_list.MarkEntry(u.index, u.mark, u.failure);
                break;
            case Update::Kind::Content:
                m_list.KeepContent(u.index, u.content);
                break;
            case Update::Kind::Rule:
                m_list.KeepRule(u.index, u.rule);
                break;
            case Update::Kind::Progress:
                m_sink.OnProgress(ProgressKind::ItemDone, u.index);
                break;
        }
    }
}

void RunController::Finish() {
    ApplyQueued();
    Join();
    m_running = false;
    if (m_finished) m_finished(m_stopRequest);
}
