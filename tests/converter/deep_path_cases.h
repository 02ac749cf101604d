#pragma once
// The conversion of a file at the end of a deep path, shared by the POSIX and
// the Win32 tests: each layer must take such paths whole, side files too.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/converter.h"
#include "tests/converter/fault_file_system.h"
#include "tests/converter/test_support.h"
#include "tests/support/file_io.h"
#include "tests/support/long_path.h"

// In place, with and without a backup, with the first temporary name taken
// beforehand (the copy then goes to ".tmp2"); the modification time is kept
// each time, to its part of a second. folder is a deep one (MakeDeepFolder).
inline void ExpectDeepPathConversions(const std::string& folder, char separator) {
    struct Case {
        const char* what;
        bool backup;
        bool tempTaken;
    } const cases[] = {
        {"in place", false, false},
        {"with a backup", true, false},
        {"first temporary name taken", false, true},
        {"first temporary name taken, with a backup", true, true},
    };
    const std::string path = folder + separator + "d\xC3\xA9j\xC3\xA0.txt";  // déjà.txt
    IFileSystem& native = NativeFileSystem();
    for (const Case& c : cases) {
        for (const char* side : {".tmp", ".bak"}) native.Remove((path + side).c_str());
        ASSERT_TRUE(WriteWholeFile(path, kMixed)) << c.what;
        if (c.tempTaken) {
            ASSERT_TRUE(WriteWholeFile(path + ".tmp", "taken")) << c.what;
        }
        const FileTimes times{1000000000, 1200000000, 0, 123456700};
        ASSERT_TRUE(native.SetTimes(path.c_str(), times)) << c.what;

        FaultFileSystem fs(native);
        const ConvertResult result = ConvertFile(fs, path.c_str(), Options(0, true, true, true, c.backup));
        ASSERT_EQ(result.failure, ConvertFailure::None) << c.what;
        EXPECT_EQ(fs.createdNames(), std::vector<std::string>{path + (c.tempTaken ? ".tmp2" : ".tmp")})
            << c.what;
        EXPECT_EQ(ReadWholeFile(path), OracleConvert(kMixed, "\r\n")) << c.what;
        EXPECT_EQ(ReadWholeFile(path + ".tmp", "<none>"), c.tempTaken ? "taken" : "<none>") << c.what;
        EXPECT_FALSE(PathExists(path + ".tmp2")) << c.what;
        EXPECT_EQ(ReadWholeFile(path + ".bak", "<none>"), c.backup ? kMixed : "<none>") << c.what;
        FileTimes after;
        ASSERT_TRUE(native.GetTimes(path.c_str(), &after)) << c.what;
        EXPECT_EQ(after.modifyTime, times.modifyTime) << c.what;
        EXPECT_EQ(after.modifyNanos, times.modifyNanos) << c.what;
    }
}
