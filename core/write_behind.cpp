#include "core/write_behind.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace {

class WriteBehindFile : public IFile {
public:
    // Takes file only once its buffers and thread exist: if they cannot be
    // had, file is left with the caller, who writes it directly.
    explicit WriteBehindFile(std::unique_ptr<IFile>& file) {
        m_filling.reserve(kWriteBehindPiece);
        m_writing.reserve(kWriteBehindPiece);
        m_thread = std::thread([this] { WriteLoop(); });
        m_file = std::move(file);
    }

    ~WriteBehindFile() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    WriteBehindFile(const WriteBehindFile&) = delete;
    WriteBehindFile& operator=(const WriteBehindFile&) = delete;

    long Read(void*, size_t) override { return -1; }

    bool Write(const void* data, size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            const size_t take = std::min(size, kWriteBehindPiece - m_filling.size());
            m_filling.insert(m_filling.end(), p, p + take);
            p += take;
            size -= take;
            if (m_filling.size() == kWriteBehindPiece && !HandOver()) return false;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        return !m_failed;
    }

    bool GetInfo(FileInfo* info) override { return Drain() && m_file->GetInfo(info); }

    bool SetInfo(const FileTimes* times, uint32_t attributes) override {
        return Drain() && m_file->SetInfo(times, attributes);
    }

    bool Close() override {
        const bool written = Drain();
        return m_file->Close() && written;
    }

private:
    // Gives the filled piece to the thread once it has finished the last.
    bool HandOver() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_pending; });
        if (m_failed) return false;
        m_filling.swap(m_writing);
        m_filling.clear();
        m_pending = true;
        lock.unlock();
        m_changed.notify_all();
        return true;
    }

    // Hands over what is left and waits until all of it is written.
    bool Drain() {
        if (!m_filling.empty() && !HandOver()) return false;
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_pending; });
        return !m_failed;
    }

    void WriteLoop() {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_pending || m_quit; });
            if (!m_pending) return;
            lock.unlock();
            const bool written = m_file->Write(m_writing.data(), m_writing.size());
            lock.lock();
            if (!written) m_failed = true;
            m_pending = false;
            m_changed.notify_all();
        }
    }

    std::unique_ptr<IFile> m_file;
    std::vector<char> m_filling;  // the caller's
    std::vector<char> m_writing;  // the thread's while m_pending
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_pending = false;
    bool m_failed = false;
    bool m_quit = false;
    std::thread m_thread;
};

}  // namespace

std::unique_ptr<IFile> WriteBehind(std::unique_ptr<IFile> file) {
    try {
        return std::make_unique<WriteBehindFile>(file);
    } catch (const std::exception&) {  // no memory or no thread to spare
        return file;
    }
}
