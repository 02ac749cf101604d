#pragma once
// Wraps a real IFileSystem, numbers every operation (file reads, writes and
// closes included) and fails the chosen one, or the first ones of a chosen
// kind with a chosen error; records created names, can hide names from the
// existence check, as if planted after it, and can act as another program
// right after an operation.

#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/platform/file_system.h"

class FaultFileSystem : public IFileSystem {
public:
    explicit FaultFileSystem(IFileSystem& real, int failAt = 0) : m_real(real), m_failAt(failAt) {}

    int operations() const { return m_count; }
    bool faultHit() const { return m_hit; }
    const std::vector<std::string>& createdNames() const { return m_created; }
    void HideFromExists(const std::string& path) { m_hidden.insert(path); }
    // Fails the first `times` operations of this kind (a name failedKind
    // reports), LastError saying error.
    void FailFirst(const std::string& kind, int times = 1, FileError error = FileError::Other) {
        m_failKind = kind;
        m_failTimes = times;
        m_failError = error;
    }
    int failures() const { return m_failures; }
    // Runs action once, right after the first operation of this kind
    // ("CloseRead", "OpenRead", "Rename", "Replace") has been tried.
    void After(const std::string& kind, std::function<void()> action) { m_after[kind] = std::move(action); }
    // Every read of a file takes this long first: a huge file on a slow disk.
    void DelayReads(unsigned ms) { m_readDelayMs = ms; }
    // Refuses to remove a read-only file, as Windows does.
    void RemoveLikeWindows() { m_removeLikeWindows = true; }

    // True if this operation is the one to fail.
    bool Fail(const char* kind) {
        ++m_count;
        const bool chosen =
            m_failKind.empty() ? m_count == m_failAt : m_failKind == kind && m_failures < m_failTimes;
        m_injected = chosen;
        if (!chosen) return false;
        ++m_failures;
        m_hit = true;
        m_failedKind = kind;
        return true;
    }
    void Did(const char* kind) {
        auto it = m_after.find(kind);
        if (it == m_after.end()) return;
        const std::function<void()> action = std::move(it->second);
        m_after.erase(it);
        action();
    }
    // Which operation failed: the method name, "ClearAttributes", "Read", "Write", "CloseRead",
    // "CloseWrite", "GetInfo", "GetPathInfo" or "SetInfo".
    const std::string& failedKind() const { return m_failedKind; }

    uint32_t GetAttributes(const char* path) override {
        return Fail("GetAttributes") ? kInvalidAttributes : m_real.GetAttributes(path);
    }
    bool SetAttributes(const char* path, uint32_t a) override {
        return Fail(a == 0 ? "ClearAttributes" : "SetAttributes") ? false : m_real.SetAttributes(path, a);
    }
    // A failed existence check says "taken": the safe answer.
    bool Exists(const char* path) override {
        if (Fail("Exists")) return true;
        return m_hidden.count(path) ? false : m_real.Exists(path);
    }
    std::unique_ptr<IFile> OpenRead(const char* path) override {
        if (Fail("OpenRead")) return nullptr;
        auto f = m_real.OpenRead(path);
        if (!f) return nullptr;
        Did("OpenRead");
        return std::make_unique<File>(this, std::move(f), false);
    }
    std::unique_ptr<IFile> CreateNew(const char* path, CreateResult* result) override {
        if (Fail("CreateNew")) {
            *result = CreateResult::Failed;
            return nullptr;
        }
        auto f = m_real.CreateNew(path, result);
        if (!f) return nullptr;
        m_created.push_back(path);
        return std::make_unique<File>(this, std::move(f), true);
    }
    bool GetTimes(const char* path, FileTimes* t) override {
        return Fail("GetTimes") ? false : m_real.GetTimes(path, t);
    }
    bool GetInfo(const char* path, FileInfo* info) override {
        return Fail("GetPathInfo") ? false : m_real.GetInfo(path, info);
    }
    bool SetTimes(const char* path, const FileTimes& t) override {
        return Fail("SetTimes") ? false : m_real.SetTimes(path, t);
    }
    bool Rename(const char* from, const char* to) override {
        if (Fail("Rename")) {
            Did("Rename");
            return false;
        }
        const bool ok = m_real.Rename(from, to);
        Did("Rename");
        return ok;
    }
    bool Replace(const char* from, const char* to) override {
        if (Fail("Replace")) {
            Did("Replace");
            return false;
        }
        const bool ok = m_real.Replace(from, to);
        Did("Replace");
        return ok;
    }
    bool Remove(const char* path) override {
        if (Fail("Remove")) return false;
        if (m_removeLikeWindows) {
            const uint32_t attributes = m_real.GetAttributes(path);
            if (attributes != kInvalidAttributes && (attributes & kAttrReadOnly)) return false;
        }
        return m_real.Remove(path);
    }
    bool Enumerate(const char* folder, const std::function<bool(const DirEntry&)>& visit) override {
        return Fail("Enumerate") ? false : m_real.Enumerate(folder, visit);
    }
    bool GetFolderId(const char* folder, FolderId* id) override {
        return Fail("GetFolderId") ? false : m_real.GetFolderId(folder, id);
    }
    // An injected failure's own error; a real one's from the real calls.
    FileError LastError() override { return m_injected ? m_failError : m_real.LastError(); }

private:
    class File : public IFile {
    public:
        File(FaultFileSystem* fs, std::unique_ptr<IFile> real, bool writing)
            : m_fs(fs), m_real(std::move(real)), m_writing(writing) {}
        long Read(void* b, size_t n) override {
            if (m_fs->m_readDelayMs)
                std::this_thread::sleep_for(std::chrono::milliseconds(m_fs->m_readDelayMs));
            return m_fs->Fail("Read") ? -1 : m_real->Read(b, n);
        }
        // A failed write may still have put part of the data on disk.
        bool Write(const void* d, size_t n) override {
            if (m_fs->Fail("Write")) {
                m_real->Write(d, n / 2);
                return false;
            }
            return m_real->Write(d, n);
        }
        bool Close() override {
            bool ok = m_real->Close();
            const char* kind = m_writing ? "CloseWrite" : "CloseRead";
            if (m_fs->Fail(kind)) return false;
            m_fs->Did(kind);
            return ok;
        }
        bool GetInfo(FileInfo* info) override {
            return m_fs->Fail("GetInfo") ? false : m_real->GetInfo(info);
        }
        // A failed set may still have set part of it.
        bool SetInfo(const FileTimes* times, uint32_t attributes) override {
            if (m_fs->Fail("SetInfo")) {
                m_real->SetInfo(times, 0);
                return false;
            }
            return m_real->SetInfo(times, attributes);
        }

    private:
        FaultFileSystem* m_fs;
        std::unique_ptr<IFile> m_real;
        bool m_writing;
    };

    IFileSystem& m_real;
    int m_failAt;
    int m_count = 0;
    bool m_hit = false;
    std::string m_failedKind;
    std::string m_failKind;
    int m_failTimes = 1;
    int m_failures = 0;
    FileError m_failError = FileError::Other;
    bool m_injected = false;
    std::map<std::string, std::function<void()>> m_after;
    std::vector<std::string> m_created;
    std::set<std::string> m_hidden;
    bool m_removeLikeWindows = false;
    unsigned m_readDelayMs = 0;
};
