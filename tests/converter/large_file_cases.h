#pragma once
// The conversion of a file large enough to be written behind, shared by the
// POSIX and the Win32 tests: every byte, the kept times to their part of a
// second, the read-only attribute and the backup, through the real calls.

#include <gtest/gtest.h>

#include <string>

#include "core/converter.h"
#include "core/write_behind.h"
#include "tests/converter/test_support.h"
#include "tests/support/file_io.h"
#include "tests/support/long_path.h"

inline void ExpectLargeFileConversions(const std::string& folder, char separator) {
    struct Case {
        const char* what;
        int format;
        const char* brk;
        bool backup;
        uint32_t attributes;
    } const cases[] = {
        {"to CR LF in place", 0, "\r\n", false, 0},
        {"to CR, read-only", 1, "\r", false, kAttrReadOnly},
        {"to LF with a backup", 2, "\n", true, 0},
    };
    std::string content;
    // An odd length, so the last piece is a short one.
    while (content.size() < kWriteBehindFrom + 3 * kWriteBehindPiece) content += kMixed;
    content += "tail";
    const std::string path = folder + separator + "large.txt";
    IFileSystem& native = NativeFileSystem();
    for (const Case& c : cases) {
        native.SetAttributes(path.c_str(), 0);
        ASSERT_TRUE(WriteWholeFile(path, content)) << c.what;
        native.Remove((path + ".bak").c_str());
        const FileTimes times{1000000000, 1200000000, 0, 123456700};
        ASSERT_TRUE(native.SetTimes(path.c_str(), times)) << c.what;
        if (c.attributes) {
            ASSERT_TRUE(native.SetAttributes(path.c_str(), c.attributes)) << c.what;
        }

        ASSERT_EQ(ConvertFile(native, path.c_str(), Options(c.format, true, true, true, c.backup)).failure,
                  ConvertFailure::None)
            << c.what;
        EXPECT_TRUE(ReadWholeFile(path) == OracleConvert(content, c.brk)) << c.what;
        EXPECT_FALSE(PathExists(path + ".tmp")) << c.what;
        EXPECT_EQ(PathExists(path + ".bak"), c.backup) << c.what;
        FileTimes after;
        ASSERT_TRUE(native.GetTimes(path.c_str(), &after)) << c.what;
        EXPECT_EQ(after.modifyTime, times.modifyTime) << c.what;
        EXPECT_EQ(after.modifyNanos, times.modifyNanos) << c.what;
        EXPECT_EQ(native.GetAttributes(path.c_str()) & kAttrReadOnly, c.attributes) << c.what;
    }
    native.SetAttributes(path.c_str(), 0);
}
