#pragma once
// Shared by the converter tests: the byte-at-a-time loop the block copy must
// match, and in-memory files that read in chosen chunk sizes or fail on cue.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/platform/file_system.h"

// The reference loop, one byte at a time: CR LF, lone CR and lone LF each
// become one break; everything else passes through.
inline std::string OracleConvert(const std::string& input, const std::string& brk) {
    std::string out;
    size_t i = 0;
    const size_t n = input.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(input[i++]);
        if (c != 0x0D && c != 0x0A) {
            out += static_cast<char>(c);
            continue;
        }
        out += brk;
        if (c == 0x0D) {
            if (i >= n) break;
            if (input[i] == 0x0A) ++i;
        }
    }
    return out;
}

// Reads input in chunks whose sizes cycle through chunkSizes, so a block
// boundary can be put at any position; optionally fails the k-th read.
class MemoryReader : public IFile {
public:
    MemoryReader(std::string data, std::vector<size_t> chunkSizes, int failRead = 0)
        : data_(std::move(data)), chunks_(std::move(chunkSizes)), failRead_(failRead) {}
    long Read(void* buffer, size_t size) override {
        if (++reads_ == failRead_) return -1;
        size_t want = chunks_.empty() ? size : chunks_[(reads_ - 1) % chunks_.size()];
        if (want > size) want = size;
        if (want > data_.size() - pos_) want = data_.size() - pos_;
        std::memcpy(buffer, data_.data() + pos_, want);
        pos_ += want;
        return static_cast<long>(want);
    }
    bool Write(const void*, size_t) override { return false; }
    bool Close() override { return true; }

private:
    std::string data_;
    std::vector<size_t> chunks_;
    int failRead_;
    int reads_ = 0;
    size_t pos_ = 0;
};

// Collects what is written; optionally fails once more than capacity bytes
// would be held (a full disk).
class MemoryWriter : public IFile {
public:
    explicit MemoryWriter(size_t capacity = SIZE_MAX) : capacity_(capacity) {}
    long Read(void*, size_t) override { return -1; }
    bool Write(const void* data, size_t size) override {
        if (size > capacity_ - data_.size()) return false;
        data_.append(static_cast<const char*>(data), size);
        return true;
    }
    bool Close() override { return true; }
    const std::string& data() const { return data_; }

private:
    size_t capacity_;
    std::string data_;
};
