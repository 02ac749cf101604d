#include "core/stop_token.h"

#include <chrono>

namespace {

int64_t Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void StopToken::Request() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_requested.load(std::memory_order_relaxed)) return;
        m_requestedAt.store(Now(), std::memory_order_relaxed);
        m_requested.store(true, std::memory_order_release);
    }
    m_wake.notify_all();
}

void StopToken::Reset() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_requested.store(false, std::memory_order_release);
}

bool StopToken::GraceOver() const {
    if (!Requested()) return false;
    const int64_t grace = static_cast<int64_t>(kGraceMs) * 1000000;
    return Now() - m_requestedAt.load(std::memory_order_relaxed) >= grace;
}

bool StopToken::Wait(unsigned ms) {
    std::unique_lock<std::mutex> hold(m_lock);
    return m_wake.wait_for(hold, std::chrono::milliseconds(ms), [this] { return Requested(); });
}
