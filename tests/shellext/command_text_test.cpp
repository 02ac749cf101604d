#include "shellext/command_text.h"
#include "shellext/selection_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kGuard = '\x5A';

struct Built {
    bool ok;
    std::string text;
    bool guardIntact;
};

// Builds into a buffer of exactly `size` bytes followed by guard bytes.
Built Build(const std::vector<std::string>& paths, size_t size, const char* formatSwitch = "/u") {
    std::vector<const char*> ptrs;
    for (const auto& p : paths) ptrs.push_back(p.c_str());
    std::vector<char> buffer(size + 16, kGuard);
    const bool ok = BuildCommandText(formatSwitch, ptrs.data(), ptrs.size(), buffer.data(), size);
    bool guard = true;
    for (size_t i = size; i < buffer.size(); ++i) guard = guard && buffer[i] == kGuard;
    return {ok, size ? std::string(buffer.data()) : std::string(), guard};
}

TEST(CommandText, QuotesEveryPathAfterTheSwitch) {
    struct Case {
        std::vector<std::string> paths;
        const char* formatSwitch;
        const char* expected;
    } cases[] = {
        {{}, "/m", "/m"},
        {{"C:\\a.txt"}, "/w", "/w \"C:\\a.txt\""},
        {{"C:\\My Files\\a b.txt", "D:\\x"}, "/u", "/u \"C:\\My Files\\a b.txt\" \"D:\\x\""},
        // A root's backslash would escape the closing quote for the runtime.
        {{"C:\\", "D:\\dir\\"}, "/u", "/u \"C:\\\\\" \"D:\\dir\\\\\""},
        {{"C:\\dir\\\\"}, "/u", "/u \"C:\\dir\\\\\\\\\""},
    };
    for (const Case& c : cases) {
        const Built b = Build(c.paths, kCommandTextSize, c.formatSwitch);
        EXPECT_TRUE(b.ok) << c.expected;
        EXPECT_EQ(c.expected, b.text);
        EXPECT_TRUE(b.guardIntact);
    }
}

TEST(CommandText, FitsExactlyAtTheBufferEdgeAndIsRefusedOneBytePast) {
    // Paths of 250 characters and one shorter that fills the buffer exactly:
    // 2 + n * (250 + 3) + (last + 3) + 1.
    const size_t room = kCommandTextSize - 3;
    std::vector<std::string> paths(room / 253, "C:\\" + std::string(247, 'p'));
    ASSERT_GT(room % 253, 10u);
    paths.push_back("C:\\" + std::string(room % 253 - 3 - 3, 'q'));
    size_t total = 2 + 1;
    for (const auto& p : paths) total += p.size() + 3;
    ASSERT_EQ(kCommandTextSize, total);

    const Built fits = Build(paths, kCommandTextSize);
    EXPECT_TRUE(fits.ok);
    EXPECT_EQ(kCommandTextSize - 1, fits.text.size());
    EXPECT_TRUE(fits.guardIntact);

    paths.back() += 'r';
    const Built over = Build(paths, kCommandTextSize);
    EXPECT_FALSE(over.ok);
    EXPECT_EQ("", over.text);
    EXPECT_TRUE(over.guardIntact);

    // A doubled trailing backslash counts against the room as well.
    paths.back().pop_back();
    paths.back().back() = '\\';
    const Built doubled = Build(paths, kCommandTextSize);
    EXPECT_FALSE(doubled.ok);
    EXPECT_TRUE(doubled.guardIntact);
}

TEST(CommandText, TinyBuffersAreNeverOverrun) {
    for (size_t size : {0u, 1u, 2u, 3u, 8u}) {
        const Built b = Build({"C:\\a"}, size);
        EXPECT_FALSE(b.ok) << size;
        EXPECT_TRUE(b.guardIntact) << size;
    }
    EXPECT_TRUE(Build({"C:\\a"}, 10).ok);  // /u "C:\a" + zero
}

TEST(ProgramPath, AppendsTheProgramNameWithinTheBuffer) {
    struct Case {
        std::string folder;
        bool ok;
        const char* expected;
    } cases[] = {
        {"C:\\Tools", true, "C:\\Tools\\Pardwell.exe"},
        {"C:\\", true, "C:\\\\Pardwell.exe"},
        {std::string(1010, 'f'), true, nullptr},  // 1010 + 1 + 12 + 1 = 1024
        {std::string(1011, 'f'), false, ""},
        {std::string(2000, 'f'), false, ""},
    };
    for (const Case& c : cases) {
        std::vector<char> buffer(kProgramPathSize + 16, kGuard);
        const bool ok = BuildProgramPath(c.folder.data(), c.folder.size(), buffer.data(), kProgramPathSize);
        EXPECT_EQ(c.ok, ok) << c.folder.size();
        const std::string text(buffer.data());
        if (c.expected)
            EXPECT_EQ(c.expected, text);
        else
            EXPECT_EQ(c.folder + "\\Pardwell.exe", text);
        for (size_t i = kProgramPathSize; i < buffer.size(); ++i)
            ASSERT_EQ(kGuard, buffer[i]) << c.folder.size();
    }
}

TEST(SelectionList, GrowsByEightKeepingOrderAndOwnsCopies) {
    struct Case {
        size_t reserved;
        size_t appended;
        size_t capacity;
    } cases[] = {{0, 0, 0}, {0, 1, 8}, {0, 8, 8}, {0, 9, 16}, {3, 3, 3}, {3, 4, 11}, {3, 12, 19}};
    for (const Case& c : cases) {
        CSelectionList list;
        ASSERT_TRUE(list.Reset(c.reserved));
        char path[32];
        for (size_t i = 0; i < c.appended; ++i) {
            std::snprintf(path, sizeof path, "C:\\f%zu", i);
            ASSERT_TRUE(list.Append(path));
            path[3] = 'X';  // the list must hold its own copy
        }
        EXPECT_EQ(c.appended, list.Count());
        EXPECT_EQ(c.capacity, list.Capacity()) << c.reserved << "+" << c.appended;
        for (size_t i = 0; i < c.appended; ++i) {
            std::snprintf(path, sizeof path, "C:\\f%zu", i);
            EXPECT_STREQ(path, list.At(i));
        }
        list.Clear();
        EXPECT_EQ(0u, list.Count());
        EXPECT_EQ(0u, list.Capacity());
    }
}

}  // namespace
