#pragma once
// Content of any length made of a few pieces, each repeated, served from
// memory at any offset: files past 4 GiB without holding them anywhere.
// The 4 GiB tests write, stream and compare with it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/platform/file_system.h"
#include "tests/converter/test_support.h"

constexpr uint64_t kFourGiB = uint64_t(1) << 32;

// Pieces in order, each text repeated count times.
class RepeatedContent {
public:
    struct Piece {
        std::string text;
        uint64_t count;
    };
    explicit RepeatedContent(std::vector<Piece> pieces) : m_pieces(std::move(pieces)) {
        for (const Piece& p : m_pieces) {
            m_size += p.text.size() * p.count;
            // Copied from whole repeats of at least 64 KiB, not a byte at a time.
            std::string run;
            while (run.size() < 64 * 1024 && !p.text.empty()) run += p.text;
            m_runs.push_back(std::move(run));
        }
    }
    uint64_t size() const { return m_size; }
    const std::vector<Piece>& pieces() const { return m_pieces; }

    // The same pieces, each converted on its own: right as long as no piece
    // ends in a CR that a LF starting the next would pair with.
    RepeatedContent Converted(const std::string& brk) const {
        std::vector<Piece> out;
        for (const Piece& p : m_pieces) out.push_back({OracleConvert(p.text, brk), p.count});
        return RepeatedContent(std::move(out));
    }

    // Copies [offset, offset + n) (clipped at the end) to buffer; the count copied.
    size_t Fill(uint64_t offset, char* buffer, size_t n) const {
        size_t done = 0;
        uint64_t start = 0;  // of the current piece
        for (size_t i = 0; i < m_pieces.size(); ++i) {
            const std::string& run = m_runs[i];
            const uint64_t end = start + m_pieces[i].text.size() * m_pieces[i].count;
            while (done < n && offset < end) {
                const uint64_t at = (offset - start) % run.size();
                const size_t take = static_cast<size_t>(
                    std::min<uint64_t>(std::min<uint64_t>(run.size() - at, n - done), end - offset));
                std::memcpy(buffer + done, run.data() + at, take);
                done += take;
                offset += take;
            }
            start = end;
            if (done == n) break;
        }
        return done;
    }

private:
    std::vector<Piece> m_pieces;
    std::vector<std::string> m_runs;
    uint64_t m_size = 0;
};

// Reads a RepeatedContent.
class RepeatedReader : public IFile {
public:
    explicit RepeatedReader(const RepeatedContent& content) : m_content(content) {}
    long Read(void* buffer, size_t size) override {
        const size_t got = m_content.Fill(m_offset, static_cast<char*>(buffer), size);
        m_offset += got;
        return static_cast<long>(got);
    }
    bool Write(const void*, size_t) override { return false; }
    bool Close() override { return true; }
    bool GetInfo(FileInfo*) override { return false; }
    bool SetInfo(const FileTimes*, uint32_t) override { return false; }

private:
    const RepeatedContent& m_content;
    uint64_t m_offset = 0;
};

// Compares what is written, from a given offset on, with a RepeatedContent,
// keeping only where the first difference was.
class RepeatedChecker : public IFile {
public:
    static constexpr uint64_t kNone = ~uint64_t(0);
    explicit RepeatedChecker(const RepeatedContent& expected) : m_expected(expected) {}
    void StartAt(uint64_t offset) { m_offset = offset; }
    long Read(void*, size_t) override { return -1; }
    bool Write(const void* data, size_t size) override {
        Compare(static_cast<const char*>(data), size);
        return true;
    }
    bool Close() override { return true; }
    bool GetInfo(FileInfo*) override { return false; }
    bool SetInfo(const FileTimes*, uint32_t) override { return false; }

    // Compares the next size bytes.
    void Compare(const char* data, size_t size) {
        if (m_scratch.size() < size) m_scratch.resize(size);
        const size_t have = m_expected.Fill(m_offset, m_scratch.data(), size);
        if (m_firstDifference == kNone) {
            const size_t same =
                static_cast<size_t>(std::mismatch(data, data + have, m_scratch.data()).first - data);
            if (same < size) m_firstDifference = m_offset + same;
        }
        m_offset += size;
    }
    uint64_t offset() const { return m_offset; }
    // Where the written content first differed (or ran past the end), or kNone.
    uint64_t firstDifference() const { return m_firstDifference; }
    bool Matches() const { return m_firstDifference == kNone && m_offset == m_expected.size(); }

private:
    const RepeatedContent& m_expected;
    std::vector<char> m_scratch;
    uint64_t m_offset = 0;
    uint64_t m_firstDifference = kNone;
};
