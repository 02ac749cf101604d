#pragma once
// Converts, or checks, through a file system whose every read takes
// readDelayMs, so a file of a few MiB takes seconds, as a huge one does on
// a fast disk; and acts, as a user would, a while after a chosen file has
// started.

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "app/batch_run.h"
#include "tests/converter/fault_file_system.h"

class SlowConverter : public IConverter {
public:
    SlowConverter(unsigned readDelayMs, bool check) : m_readDelayMs(readDelayMs), m_check(check) {}
    ~SlowConverter() { ActedAt(); }

    // Once the file at path has been converting for ms, runs action on a
    // thread of its own.
    void ActAfter(const std::string& path, unsigned ms, std::function<void()> action) {
        m_actPath = path;
        m_actAfterMs = ms;
        m_action = std::move(action);
    }
    // When the action ran, once it has.
    std::chrono::steady_clock::time_point ActedAt() {
        if (m_actor.joinable()) m_actor.join();
        return m_actedAt;
    }

    ConvertResult Convert(const std::string& path, const ConvertOptions& options) override {
        if (path == m_actPath && !m_actor.joinable()) {
            m_actor = std::thread([this] {
                std::this_thread::sleep_for(std::chrono::milliseconds(m_actAfterMs));
                m_actedAt = std::chrono::steady_clock::now();
                m_action();
            });
        }
        FaultFileSystem fs(NativeFileSystem());
        fs.DelayReads(m_readDelayMs);
        if (!m_check) return ConvertFile(fs, path.c_str(), options);
        ConvertResult result;
        ScanFile(fs, path.c_str(), &result.content, &result.failure, options.stop);
        result.content.outcome = ConvertOutcome::AlreadyInFormat;
        return result;
    }

private:
    unsigned m_readDelayMs;
    bool m_check;
    std::string m_actPath;
    unsigned m_actAfterMs = 0;
    std::function<void()> m_action;
    std::thread m_actor;
    std::chrono::steady_clock::time_point m_actedAt;
};

// A file of about mib MiB of lines ending in brk.
inline std::string HugeText(size_t mib, const char* brk) {
    std::string text;
    while (text.size() < (mib << 20)) text += std::string("a line of a huge file") + brk;
    return text;
}
