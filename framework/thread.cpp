#include "framework/thread.h"

#include <atomic>

namespace {
std::atomic<int> g_failCreates{0};
}

CThread::~CThread() {
    Join();
}

void CThread::FailNextCreates(int n) {
    g_failCreates = n;
}

DWORD WINAPI CThread::Entry(void* self) {
    auto* thread = static_cast<CThread*>(self);
    try {
        return thread->m_body();
    } catch (...) {
        return static_cast<DWORD>(-1);
    }
}

bool CThread::Create(std::function<DWORD()> body, bool suspended) {
    if (m_handle.IsValid()) return false;
    if (g_failCreates > 0) {
        --g_failCreates;
        return false;
    }
    m_body = std::move(body);
    DWORD id = 0;
    HANDLE h = CreateThread(nullptr, 0, &CThread::Entry, this, suspended ? CREATE_SUSPENDED : 0, &id);
    if (!h) return false;
    m_handle.Reset(h);
    return true;
}

bool CThread::Resume() {
    return m_handle.IsValid() && ResumeThread(m_handle.Get()) != static_cast<DWORD>(-1);
}

void CThread::Join() {
    if (!m_handle.IsValid()) return;
    // A thread still suspended would never end: let it run its body.
    while (ResumeThread(m_handle.Get()) > 1) {
    }
    WaitForSingleObject(m_handle.Get(), INFINITE);
    GetExitCodeThread(m_handle.Get(), &m_exitCode);
    m_handle.Close();
}
