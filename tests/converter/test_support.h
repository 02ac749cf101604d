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
        : m_data(std::move(data)), m_chunks(std::move(chunkSizes)), m_failRead(failRead) {}
    long Read(void* buffer, size_t size) override {
        if (++m_reads == m_failRead) return -1;
        size_t want = m_chunks.empty() ? size : m_chunks[(m_reads - 1) % m_chunks.size()];
        if (want > size) want = size;
        if (want > m_data.size() - m_pos) want = m_data.size() - m_pos;
        std::memcpy(buffer, m_data.data() + m_pos, want);
        m_pos += want;
        return static_cast<long>(want);
    }
    bool Write(const void*, size_t) override { return false; }
    bool Close() override { return true; }

private:
    std::string m_data;
    std::vector<size_t> m_chunks;
    int m_failRead;
    int m_reads = 0;
    size_t m_pos = 0;
};

// Collects what is written; optionally fails once more than capacity bytes
// would be held (a full disk).
class MemoryWriter : public IFile {
public:
    explicit MemoryWriter(size_t capacity = SIZE_MAX) : m_capacity(capacity) {}
    long Read(void*, size_t) override { return -1; }
    bool Write(const void* data, size_t size) override {
        if (size > m_capacity - m_data.size()) return false;
        m_data.append(static_cast<const char*>(data), size);
        return true;
    }
    bool Close() override { return true; }
    const std::string& data() const { return m_data; }

private:
    size_t m_capacity;
    std::string m_data;
};
