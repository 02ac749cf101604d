#pragma once
// The one way from a worker thread to a UI thread: a task posted here runs
// on the thread that opened the queue, in the order tasks were posted, from
// that thread's message loop (any loop: a modal one serves it too).
//
// Each queue has a hidden message-only window of its own. Once the queue is
// closed (or destroyed), what is still waiting and whatever is posted later
// is dropped: destroyed without running, so nothing it captured is leaked.

#include <windows.h>

#include <functional>
#include <memory>

using UiTask = std::function<void()>;

class CUiTasks {
    struct State;

public:
    // What a worker may keep: posting through it after the queue has gone is
    // safe and drops the task.
    class Poster {
    public:
        bool Post(UiTask task) const;

    private:
        friend class CUiTasks;
        explicit Poster(std::shared_ptr<State> state) : m_state(std::move(state)) {}
        std::shared_ptr<State> m_state;
    };

    CUiTasks();
    ~CUiTasks();
    CUiTasks(const CUiTasks&) = delete;
    CUiTasks& operator=(const CUiTasks&) = delete;

    // On the UI thread. True if the queue takes tasks (it may be reopened
    // after a close).
    bool Open();
    // On the UI thread: drops what waits; later posts are dropped too.
    void Close();
    bool IsOpen() const;

    // From any thread; false if the task was dropped.
    bool Post(UiTask task) const;
    Poster GetPoster() const { return Poster(m_state); }
    // On the UI thread: runs the task once ms have passed, unless the queue
    // is closed first.
    bool PostAfter(UINT ms, UiTask task);

private:
    std::shared_ptr<State> m_state;
};
