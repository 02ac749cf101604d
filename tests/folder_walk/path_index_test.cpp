#include "core/path_index.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PathIndex, IgnoresCaseAndTracksAddsAndRemoves) {
    PathIndex index;
    EXPECT_TRUE(index.Add("C:\\A\\x.txt"));
    EXPECT_FALSE(index.Add("c:\\a\\X.TXT"));
    EXPECT_TRUE(index.Contains("C:\\a\\x.Txt"));
    EXPECT_FALSE(index.Contains("C:\\A\\x.txt "));
    EXPECT_TRUE(index.Add("C:\\x.txt"));
    EXPECT_EQ(index.Size(), 2u);
    EXPECT_TRUE(index.Remove("C:\\A\\X.TXT"));
    EXPECT_FALSE(index.Remove("C:\\A\\X.TXT"));
    EXPECT_FALSE(index.Contains("C:\\A\\x.txt"));
    EXPECT_TRUE(index.Add("C:\\A\\x.txt"));  // can come back after removal
    index.Clear();
    EXPECT_EQ(index.Size(), 0u);
    EXPECT_FALSE(index.Contains("C:\\x.txt"));
}

TEST(PathIndex, HundredThousandPaths) {
    PathIndex index;
    for (int i = 0; i < 100000; ++i) ASSERT_TRUE(index.Add("C:\\Data\\File" + std::to_string(i) + ".TXT"));
    for (int i = 0; i < 100000; i += 997)
        EXPECT_FALSE(index.Add("c:\\data\\file" + std::to_string(i) + ".txt"));
    EXPECT_EQ(index.Size(), 100000u);
}

}  // namespace
