#include "core/write_behind.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What reached the file under the write-behind, in order.
struct Record {
    std::string data;
    std::vector<size_t> writes;
    std::vector<std::string> events;  // "info", "set", "close", each with the bytes written by then
    size_t failWrite = 0;             // the write numbered so (from 1) fails
    bool failClose = false;
};

class RecordingFile : public IFile {
public:
    explicit RecordingFile(Record& record) : m_record(record) {}
    long Read(void*, size_t) override { return -1; }
    bool Write(const void* data, size_t size) override {
        m_record.writes.push_back(size);
        if (m_record.writes.size() == m_record.failWrite) return false;
        m_record.data.append(static_cast<const char*>(data), size);
        return true;
    }
    bool GetInfo(FileInfo*) override { return Note("info"); }
    bool SetInfo(const FileTimes*, uint32_t) override { return Note("set"); }
    bool Close() override { return Note("close") && !m_record.failClose; }

private:
    bool Note(const char* what) {
        m_record.events.push_back(what + (" at " + std::to_string(m_record.data.size())));
        return true;
    }
    Record& m_record;
};

// Bytes that tell a piece out of place.
std::string Numbered(size_t size, size_t from) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((from + i) * 7 / 3);
    return s;
}

constexpr size_t kPiece = kWriteBehindPiece;

TEST(WriteBehind, EveryByteInOrderInWholePiecesBeforeTimesAndClose) {
    struct Case {
        const char* what;
        std::vector<size_t> writes;
    } const cases[] = {
        {"nothing", {}},
        {"a few bytes", {3}},
        {"exactly one piece", {kPiece}},
        {"one byte past a piece", {kPiece, 1}},
        {"a pass's blocks", std::vector<size_t>(21, 262139)},
        {"one write of more than two pieces", {2 * kPiece + 5}},
    };
    for (const Case& c : cases) {
        Record record;
        std::string expected;
        {
            std::unique_ptr<IFile> file = WriteBehind(std::make_unique<RecordingFile>(record));
            for (size_t size : c.writes) {
                const std::string bytes = Numbered(size, expected.size());
                EXPECT_TRUE(file->Write(bytes.data(), bytes.size())) << c.what;
                expected += bytes;
            }
            const FileTimes times;
            EXPECT_TRUE(file->SetInfo(&times, 0)) << c.what;
            EXPECT_TRUE(file->Close()) << c.what;
        }
        EXPECT_TRUE(record.data == expected) << c.what;
        const std::string total = std::to_string(expected.size());
        EXPECT_EQ(record.events, (std::vector<std::string>{"set at " + total, "close at " + total}))
            << c.what;
        for (size_t i = 0; i + 1 < record.writes.size(); ++i) EXPECT_EQ(record.writes[i], kPiece) << c.what;
    }
}

// Four and a half pieces in a pass's blocks: a failure is reported by a later
// Write or by Close, nothing is written after it, and the file is closed.
TEST(WriteBehind, AFailureIsReportedAndEndsTheWriting) {
    struct Case {
        const char* what;
        size_t failWrite;
        bool failClose;
        bool abandoned;  // destroyed without Close, as a discarded copy is
    } const cases[] = {
        {"the first piece fails", 1, false, false},       {"a middle piece fails", 3, false, false},
        {"the last, short piece fails", 5, false, false}, {"the close fails", 0, true, false},
        {"a failed file abandoned", 2, false, true},      {"a sound file abandoned", 0, false, true},
    };
    for (const Case& c : cases) {
        Record record;
        record.failWrite = c.failWrite;
        record.failClose = c.failClose;
        bool writesOk = true;
        {
            std::unique_ptr<IFile> file = WriteBehind(std::make_unique<RecordingFile>(record));
            for (size_t done = 0; done < 4 * kPiece + kPiece / 2 && writesOk; done += 65536)
                writesOk = file->Write(Numbered(65536, done).data(), 65536);
            if (!c.abandoned) {
                const bool infoOk = file->GetInfo(nullptr);
                EXPECT_EQ(infoOk, c.failWrite == 0) << c.what;
                EXPECT_FALSE(file->Close()) << c.what;
            }
        }
        if (c.abandoned) continue;
        EXPECT_EQ(writesOk, c.failWrite == 0 || c.failWrite == 5)
            << c.what << ": only the last fails after the writes";
        EXPECT_EQ(record.writes.size(), c.failWrite ? c.failWrite : 5u) << c.what;
        ASSERT_FALSE(record.events.empty()) << c.what;
        EXPECT_EQ(record.events.back().substr(0, 5), "close") << c.what;
    }
}

}  // namespace
