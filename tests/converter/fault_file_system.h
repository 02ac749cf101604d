#pragma once
// Wraps a real IFileSystem, numbers every operation (file reads, writes and
// closes included) and fails the chosen one; records created names and can
// hide names from the existence check, as if planted after it.

#include <set>
#include <string>
#include <vector>

#include "core/platform/file_system.h"

class FaultFileSystem : public IFileSystem {
public:
    explicit FaultFileSystem(IFileSystem& real, int failAt = 0) : real_(real), failAt_(failAt) {}

    int operations() const { return count_; }
    bool faultHit() const { return hit_; }
    const std::vector<std::string>& createdNames() const { return created_; }
    void HideFromExists(const std::string& path) { hidden_.insert(path); }

    // True if this operation is the one to fail.
    bool Fail(const char* kind) {
        if (++count_ != failAt_) return false;
        hit_ = true;
        failedKind_ = kind;
        return true;
    }
    // Which operation failed: the method name, "ClearAttributes", "Read", "Write", "CloseRead"
    // or "CloseWrite".
    const std::string& failedKind() const { return failedKind_; }

    uint32_t GetAttributes(const char* path) override {
        return Fail("GetAttributes") ? kInvalidAttributes : real_.GetAttributes(path);
    }
    bool SetAttributes(const char* path, uint32_t a) override {
        return Fail(a == 0 ? "ClearAttributes" : "SetAttributes") ? false : real_.SetAttributes(path, a);
    }
    // A failed existence check says "taken": the safe answer.
    bool Exists(const char* path) override {
        if (Fail("Exists")) return true;
        return hidden_.count(path) ? false : real_.Exists(path);
    }
    std::unique_ptr<IFile> OpenRead(const char* path) override {
        if (Fail("OpenRead")) return nullptr;
        auto f = real_.OpenRead(path);
        return f ? std::make_unique<File>(this, std::move(f), false) : nullptr;
    }
    std::unique_ptr<IFile> CreateNew(const char* path, CreateResult* result) override {
        if (Fail("CreateNew")) {
            *result = CreateResult::Failed;
            return nullptr;
        }
        auto f = real_.CreateNew(path, result);
        if (!f) return nullptr;
        created_.push_back(path);
        return std::make_unique<File>(this, std::move(f), true);
    }
    bool GetTimes(const char* path, FileTimes* t) override {
        return Fail("GetTimes") ? false : real_.GetTimes(path, t);
    }
    bool SetTimes(const char* path, const FileTimes& t) override {
        return Fail("SetTimes") ? false : real_.SetTimes(path, t);
    }
    bool Rename(const char* from, const char* to) override {
        return Fail("Rename") ? false : real_.Rename(from, to);
    }
    bool Remove(const char* path) override { return Fail("Remove") ? false : real_.Remove(path); }
    bool Enumerate(const char* folder, const std::function<bool(const DirEntry&)>& visit) override {
        return Fail("Enumerate") ? false : real_.Enumerate(folder, visit);
    }
    bool GetFolderId(const char* folder, FolderId* id) override {
        return Fail("GetFolderId") ? false : real_.GetFolderId(folder, id);
    }

private:
    class File : public IFile {
    public:
        File(FaultFileSystem* fs, std::unique_ptr<IFile> real, bool writing)
            : fs_(fs), real_(std::move(real)), writing_(writing) {}
        long Read(void* b, size_t n) override { return fs_->Fail("Read") ? -1 : real_->Read(b, n); }
        // A failed write may still have put part of the data on disk.
        bool Write(const void* d, size_t n) override {
            if (fs_->Fail("Write")) {
                real_->Write(d, n / 2);
                return false;
            }
            return real_->Write(d, n);
        }
        bool Close() override {
            bool ok = real_->Close();
            return fs_->Fail(writing_ ? "CloseWrite" : "CloseRead") ? false : ok;
        }

    private:
        FaultFileSystem* fs_;
        std::unique_ptr<IFile> real_;
        bool writing_;
    };

    IFileSystem& real_;
    int failAt_;
    int count_ = 0;
    bool hit_ = false;
    std::string failedKind_;
    std::vector<std::string> created_;
    std::set<std::string> hidden_;
};
