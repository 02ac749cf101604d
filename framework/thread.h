#pragma once
// A worker thread over CreateThread: may start suspended, is joined by its
// owner (never detached), and the destructor joins as a last resort.

#include <windows.h>

#include <functional>

#include "framework/handles.h"

class CThread {
public:
    CThread() = default;
    ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Returns false (and holds no thread) if the system refused the thread.
    bool Create(std::function<DWORD()> body, bool suspended);
    bool Resume();
    // Waits without time-out; returns at once when there is no thread.
    void Join();
    bool IsCreated() const { return m_handle.IsValid(); }
    HANDLE Handle() const { return m_handle.Get(); }
    DWORD ExitCode() const { return m_exitCode; }

    // Test seam: the next n calls of Create fail as if the system had no
    // resources left. Only tests set it.
    static void FailNextCreates(int n);

private:
    static DWORD WINAPI Entry(void* self);
    std::function<DWORD()> m_body;
    CKernelHandle m_handle;
    DWORD m_exitCode = 0;
};
