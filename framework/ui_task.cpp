#include "framework/ui_task.h"

#include <deque>
#include <map>
#include <mutex>

namespace {
const char kClassName[] = "PardwellUiTasks";
constexpr UINT kMsgRunTasks = WM_APP + 1;
}  // namespace

struct CUiTasks::State : std::enable_shared_from_this<CUiTasks::State> {
    std::mutex lock;
    std::deque<UiTask> waiting;
    HWND wnd = nullptr;
    bool open = false;
    // A message is on its way: the tasks posted meanwhile need none.
    bool posted = false;
    // Delayed tasks by timer id; touched on the UI thread only.
    std::map<UINT_PTR, UiTask> delayed;
    UINT_PTR nextTimer = 1;

    bool Post(UiTask& task) {
        std::lock_guard<std::mutex> hold(lock);
        if (!open) return false;
        waiting.push_back(std::move(task));
        if (!posted) posted = PostMessageA(wnd, kMsgRunTasks, 0, 0) != FALSE;
        // Without a message the tasks wait for the next post that gets one.
        return true;
    }

    void RunWaiting() {
        // A task may close the queue or destroy its owner: hold the state.
        std::shared_ptr<State> keep = shared_from_this();
        // Only the tasks posted before this message: those posted meanwhile
        // get a message of their own, so messages posted between (a close,
        // say) come first.
        size_t count;
        {
            std::lock_guard<std::mutex> hold(lock);
            posted = false;
            count = waiting.size();
        }
        for (; count > 0; --count) {
            UiTask task;
            {
                std::lock_guard<std::mutex> hold(lock);
                if (!open || waiting.empty()) return;
                // One at a time from the front: a task that runs a nested
                // message loop lets the rest run there, still in order.
                task = std::move(waiting.front());
                waiting.pop_front();
            }
            task();
        }
    }

    void RunDelayed(UINT_PTR id) {
        std::shared_ptr<State> keep = shared_from_this();
        KillTimer(wnd, id);
        auto found = delayed.find(id);
        if (found == delayed.end()) return;
        UiTask task = std::move(found->second);
        delayed.erase(found);
        if (open) task();
    }

    static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* state = reinterpret_cast<State*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
        if (state && msg == kMsgRunTasks) {
            state->RunWaiting();
            return 0;
        }
        if (state && msg == WM_TIMER) {
            state->RunDelayed(static_cast<UINT_PTR>(wp));
            return 0;
        }
        return DefWindowProcA(wnd, msg, wp, lp);
    }
};

bool CUiTasks::Poster::Post(UiTask task) const {
    return m_state && m_state->Post(task);
}

CUiTasks::CUiTasks() : m_state(std::make_shared<State>()) {}

CUiTasks::~CUiTasks() {
    Close();
}

bool CUiTasks::Open() {
    if (IsOpen()) return true;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = &State::WndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    HWND wnd =
        CreateWindowExA(0, kClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!wnd) return false;
    SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_state.get()));
    std::lock_guard<std::mutex> hold(m_state->lock);
    m_state->wnd = wnd;
    m_state->open = true;
    m_state->posted = false;
    return true;
}

void CUiTasks::Close() {
    std::deque<UiTask> dropped;
    std::map<UINT_PTR, UiTask> droppedLater;
    HWND wnd;
    {
        std::lock_guard<std::mutex> hold(m_state->lock);
        m_state->open = false;
        dropped.swap(m_state->waiting);
        wnd = m_state->wnd;
        m_state->wnd = nullptr;
    }
    droppedLater.swap(m_state->delayed);
    if (wnd) DestroyWindow(wnd);
    // The tasks die here, outside the lock: what they hold may post again.
}

bool CUiTasks::IsOpen() const {
    std::lock_guard<std::mutex> hold(m_state->lock);
    return m_state->open;
}

bool CUiTasks::Post(UiTask task) const {
    return m_state->Post(task);
}

bool CUiTasks::PostAfter(UINT ms, UiTask task) {
    if (!IsOpen()) return false;
    const UINT_PTR id = m_state->nextTimer++;
    if (!SetTimer(m_state->wnd, id, ms, nullptr)) return false;
    m_state->delayed[id] = std::move(task);
    return true;
}
