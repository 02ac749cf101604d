// A real file of 4 GiB and a little more, converted in place through the
// Win32 calls: a CR LF split across offset 2^32 and breaks of every kind on
// both sides. Run in the 32-bit and the 64-bit tree; prints how long each
// step took.

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/converter.h"
#include "tests/converter/big_content.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// One folder of a fixed name, emptied when made and when done, so that
// even a run killed by its time limit leaves no 4 GiB behind it for long.
class BigFolder {
public:
    // PARDWELL_BIG_DIR puts it elsewhere (a RAM disk, to time the program
    // rather than the disk).
    BigFolder() {
        char temp[MAX_PATH];
        const DWORD got = GetEnvironmentVariableA("PARDWELL_BIG_DIR", temp, sizeof(temp));
        if (got > 0 && got < sizeof(temp))
            m_path = std::string(temp) + "\\pardwell-4gib";
        else if (GetTempPathA(sizeof(temp), temp))
            m_path = std::string(temp) + "pardwell-4gib";
        else
            return;
        Empty();
        CreateDirectoryA(m_path.c_str(), nullptr);
    }
    ~BigFolder() {
        Empty();
        RemoveDirectoryA(m_path.c_str());
    }
    BigFolder(const BigFolder&) = delete;
    BigFolder& operator=(const BigFolder&) = delete;
    const std::string& path() const { return m_path; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA d;
        HANDLE h = FindFirstFileA((m_path + "\\*").c_str(), &d);
        if (h == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(d.cFileName);
        } while (FindNextFileA(h, &d));
        FindClose(h);
        return names;
    }

private:
    void Empty() const {
        for (const std::string& name : Names()) {
            const std::string file = m_path + "\\" + name;
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.c_str());
        }
    }
    std::string m_path;
};

constexpr size_t kBlock = 1 << 20;

bool WriteContent(const std::string& path, const RepeatedContent& content) {
    HANDLE h =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::unique_ptr<char[]> block(new char[kBlock]);
    bool ok = true;
    for (uint64_t at = 0; ok && at < content.size();) {
        const size_t n = content.Fill(at, block.get(), kBlock);
        DWORD put = 0;
        ok = WriteFile(h, block.get(), static_cast<DWORD>(n), &put, nullptr) && put == n;
        at += n;
    }
    return CloseHandle(h) && ok;
}

// Streams path through a checker of the expected content.
bool MatchesContent(const std::string& path, const RepeatedContent& expected, uint64_t* firstDifference) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::unique_ptr<char[]> block(new char[kBlock]);
    RepeatedChecker checker(expected);
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(h, block.get(), kBlock, &got, nullptr) != FALSE) && got > 0)
        checker.Compare(block.get(), got);
    CloseHandle(h);
    *firstDifference = checker.firstDifference();
    return ok && checker.Matches();
}

TEST(ConvertPastFourGiB, SplitPairAtTheMarkConvertsInPlace) {
    // 4 KiB ending in a CR LF, after one byte: each CR LF between two
    // repeats is split at a 4 KiB mark, 2^32 among them.
    std::string unit = "one CR LF\r\na lone LF\nand a lone CR\rthen text ";
    while (unit.size() < 4094) unit += static_cast<char>('a' + unit.size() % 26);
    unit += "\r\n";
    const uint64_t repeats = kFourGiB / 4096 + 15;
    const RepeatedContent input({{"x", 1}, {unit, repeats}, {"end\n", 1}});
    ASSERT_GT(input.size(), kFourGiB);
    const OracleContent perUnit = OracleRead(unit, "\r\n");
    const RepeatedContent expected = input.Converted("\r\n");

    BigFolder folder;
    ASSERT_FALSE(folder.path().empty());
    const std::string path = folder.path() + "\\big.txt";
    auto start = Clock::now();
    ASSERT_TRUE(WriteContent(path, input));
    const double written = Seconds(start);
    {
        // The split pair is where the content says it is.
        char around[2] = {};
        ASSERT_EQ(input.Fill(kFourGiB - 1, around, 2), 2u);
        ASSERT_EQ(std::string(around, 2), "\r\n");
    }

    ConvertOptions options;
    options.format = LineEndingFormat::Windows;
    start = Clock::now();
    const ConvertResult result = ConvertFile(NativeFileSystem(), path.c_str(), options);
    const double converted = Seconds(start);
    ASSERT_TRUE(result.ok()) << static_cast<int>(result.failure);
    EXPECT_EQ(result.content.outcome, ConvertOutcome::Converted);
    EXPECT_FALSE(result.content.binary);
    EXPECT_EQ(result.content.crlf, repeats * perUnit.crlf);
    EXPECT_EQ(result.content.lf, repeats * perUnit.lf + 1);
    EXPECT_EQ(result.content.cr, repeats * perUnit.cr);
    EXPECT_TRUE(result.content.finalBreak);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"big.txt"}) << "a side file was left";

    start = Clock::now();
    uint64_t difference = 0;
    EXPECT_TRUE(MatchesContent(path, expected, &difference)) << "first difference at " << difference;
    const double verified = Seconds(start);
    std::printf("%s bytes (%d-bit build): written in %.1f s, converted in %.1f s, verified in %.1f s\n",
                std::to_string(input.size()).c_str(), static_cast<int>(sizeof(void*) * 8), written, converted,
                verified);
}

}  // namespace

// Skipped, and counted so, where the disk cannot hold the file and its
// converted copy: a full disk would fail the conversion for the wrong reason.
int main(int argc, char** argv) {
    BigFolder folder;
    ULARGE_INTEGER free = {};
    constexpr uint64_t kNeeded = 2 * kFourGiB + (512ull << 20);
    if (folder.path().empty() || !GetDiskFreeSpaceExA(folder.path().c_str(), &free, nullptr, nullptr) ||
        free.QuadPart < kNeeded) {
        std::printf("skipped: %s has %llu MiB free, the test needs %llu MiB\n", folder.path().c_str(),
                    static_cast<unsigned long long>(free.QuadPart >> 20),
                    static_cast<unsigned long long>(kNeeded >> 20));
        return 77;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
