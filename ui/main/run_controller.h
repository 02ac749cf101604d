#pragma once
// The run behind the main window: the worker thread, what it hands to the
// UI thread, the counts, and stopping and closing.
//
// The worker never touches a control. What it has to show goes to the UI
// thread as tasks (framework/ui_task.h) and reaches the window's side of
// the run, a job source and a progress sink that live on that thread. The
// steps of each entry (its marks, what its read learnt, the progress after
// it) are queued without waiting and taken at most ten times a second, so a
// run of thousands of small files neither waits for a round trip per file
// nor repaints per file; the rare steps that start and end the run wait for
// the UI thread, taking what is queued along first, so all arrives in order.

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "app/batch_run.h"
#include "framework/thread.h"
#include "framework/ui_task.h"

class RunController {
public:
    // list and sink are called on the UI thread only; finished(stop) once
    // the worker has ended, on the UI thread too. All must outlive the
    // controller.
    RunController(const CAppSettings& settings, IJobSource& list, IProgressSink& sink,
                  std::function<void(RunStop)> finished);
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // Starts a run on a worker of its own; false (and no run) if there is no
    // thread or no way to reach this one. converter must outlive the run.
    bool Start(LineEndingFormat format, bool check, IConverter& converter);
    // The Stop button: the run ends within half a second, after the current
    // file if that finishes within the token's grace, else leaving it as it was.
    void RequestStop() { Request(RunStop::Stop); }
    // The window is closing: the run ends likewise, and the finished
    // callback hears RunStop::Close.
    void RequestClose() { Request(RunStop::Close); }
    // Asks a close and waits for the worker; what it has not shown yet is
    // dropped. For a window that is going away.
    void Shutdown();

    // From Start until the finished callback has been told.
    bool IsRunning() const { return m_running; }
    bool HasWorker() const { return m_worker.IsCreated(); }
    bool IsCheck() const { return m_check; }
    RunStop StopRequest() const { return m_stopRequest; }
    // As the UI thread has last been told; final once the run has ended.
    const BatchCounts& Counts() const { return m_counts; }

private:
    struct Update {
        enum class Kind { Mark, Content, Rule, Progress } kind = Kind::Mark;
        int index = -1;
        EntryMark mark = EntryMark::None;
        ConvertFailure failure = ConvertFailure::None;
        ContentReport content;
        ProjectRule rule;
    };
    class WorkerSource;
    class WorkerSink;

    void Request(RunStop stop);
    DWORD WorkerBody();
    // The one wait for the worker: it may be inside a SendMessage to this
    // thread, so sent messages are served until it has ended.
    void Join();
    // From the worker: runs task on the UI thread and waits for it (or for
    // the task to be dropped with a closed queue).
    void Send(UiTask task);
    void Queue(Update update);
    void OnQueued();
    void ApplyQueued();
    void Finish();

    const CAppSettings& m_settings;
    IJobSource& m_list;
    IProgressSink& m_sink;
    std::function<void(RunStop)> m_finished;
    CUiTasks m_tasks;
    CThread m_worker;
    std::atomic<RunStop> m_stopRequest{RunStop::None};
    StopToken m_stopToken;
    bool m_running = false;
    bool m_check = false;
    LineEndingFormat m_format = LineEndingFormat::Windows;
    IConverter* m_converter = nullptr;
    // Written by the worker; copied to m_counts while the worker waits.
    BatchCounts m_workerCounts;
    BatchCounts m_counts;
    std::mutex m_queueLock;
    std::vector<Update> m_queue;
    static constexpr DWORD kQueueIntervalMs = 100;
    DWORD m_lastApplied = 0;
    // Which application a delayed one stands for: one applied sooner makes
    // it void.
    unsigned m_applyGeneration = 0;
    bool m_applyScheduled = false;
};
