#pragma once
// A request to stop, shared by the thread that asks and the one that works.
// A request ends any wait at once; work on a long file gives up only once
// the request is older than a grace, so a file that ends within it still
// ends, as Stop has always let the current file finish.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class StopToken {
public:
    static constexpr unsigned kGraceMs = 250;

    StopToken() = default;
    StopToken(const StopToken&) = delete;
    StopToken& operator=(const StopToken&) = delete;
    virtual ~StopToken() = default;

    // The first request counts; later ones change nothing.
    void Request();
    // For the next run; never while a run may still look at it.
    void Reset();
    bool Requested() const { return m_requested.load(std::memory_order_acquire); }
    // True once a request is kGraceMs old.
    bool GraceOver() const;
    // Waits ms milliseconds, or until a request; true if there is one.
    virtual bool Wait(unsigned ms);

private:
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::atomic<bool> m_requested{false};
    std::atomic<int64_t> m_requestedAt{0};  // steady clock, nanoseconds
};
