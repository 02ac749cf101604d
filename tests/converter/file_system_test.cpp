// The platform file-system layer, through the interface only, on a real
// temporary folder: the same expectations natively and under Wine.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/platform/file_system.h"
#include "tests/support/scratch_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#include <unistd.h>
#endif

namespace {

class FileSystemLayer : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = m_scratch.path();
        ASSERT_FALSE(m_dir.empty());
    }
    std::string P(const std::string& name) const { return m_dir + kPathSeparator + name; }

    void Make(const std::string& name, const std::string& data) {
        CreateResult r;
        auto f = m_fs.CreateNew(P(name).c_str(), &r);
        ASSERT_TRUE(f && r == CreateResult::Created) << name;
        ASSERT_TRUE(f->Write(data.data(), data.size()));
        ASSERT_TRUE(f->Close());
    }
    std::string Content(const std::string& name) {
        auto f = m_fs.OpenRead(P(name).c_str());
        if (!f) return "<missing>";
        std::string out;
        char buf[7];  // small, so reads are taken in several pieces
        long n;
        while ((n = f->Read(buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
        return n < 0 ? "<error>" : out;
    }
    bool MakeFolder(const std::string& name) {
#ifdef _WIN32
        return CreateDirectoryA(P(name).c_str(), nullptr) != 0;
#else
        return mkdir(P(name).c_str(), 0755) == 0;
#endif
    }

    IFileSystem& m_fs = NativeFileSystem();
    ScratchDir m_scratch{"pardwell-fs-"};
    std::string m_dir;
};

TEST_F(FileSystemLayer, CreateNewRenameRemoveNeverOverwrite) {
    Make("a", "alpha");
    CreateResult r = CreateResult::Created;
    EXPECT_EQ(m_fs.CreateNew(P("a").c_str(), &r), nullptr);
    EXPECT_EQ(r, CreateResult::Exists);
    EXPECT_EQ(Content("a"), "alpha");
    Make("b", "beta");
    EXPECT_FALSE(m_fs.Rename(P("a").c_str(), P("b").c_str()));
    EXPECT_EQ(Content("a"), "alpha");
    EXPECT_EQ(Content("b"), "beta");
    EXPECT_TRUE(m_fs.Rename(P("a").c_str(), P("c").c_str()));
    EXPECT_FALSE(m_fs.Exists(P("a").c_str()));
    EXPECT_EQ(Content("c"), "alpha");
    EXPECT_TRUE(m_fs.Remove(P("c").c_str()));
    EXPECT_FALSE(m_fs.Remove(P("c").c_str()));
    EXPECT_FALSE(m_fs.Exists(P("c").c_str()));
    EXPECT_EQ(m_fs.OpenRead(P("c").c_str()), nullptr);
    EXPECT_EQ(m_fs.GetAttributes(P("c").c_str()), kInvalidAttributes);
    EXPECT_EQ(m_fs.CreateNew(P("nofolder/x").c_str(), &r), nullptr);
    EXPECT_EQ(r, CreateResult::Failed);
}

// A 64-bit build can ask for 4 GiB or more in one read: it must get what
// the file holds, not a count cut to 32 bits (nothing, read as the end).
TEST_F(FileSystemLayer, ReadsAskingForFourGiBOrMore) {
    if (sizeof(size_t) <= 4) GTEST_SKIP() << "a 32-bit build cannot ask for that much";
    Make("a", "0123456789");
    const uint64_t fourGiB = uint64_t(1) << 32;
    const uint64_t asks[] = {fourGiB, fourGiB + 5};
    // Never touched past what is read, so it costs address space only.
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(fourGiB + 5)]);
    ASSERT_TRUE(buffer);
    for (uint64_t ask : asks) {
        auto f = m_fs.OpenRead(P("a").c_str());
        ASSERT_TRUE(f);
        EXPECT_EQ(f->Read(buffer.get(), static_cast<size_t>(ask)), 10) << ask;
        EXPECT_EQ(std::string(buffer.get(), 10), "0123456789");
        EXPECT_EQ(f->Read(buffer.get(), static_cast<size_t>(ask)), 0) << ask;
    }
}

TEST_F(FileSystemLayer, ReadOnlyAttributeAndTimesRoundTrip) {
    Make("a", "x");
    EXPECT_EQ(m_fs.GetAttributes(P("a").c_str()) & (kAttrReadOnly | kAttrDirectory), 0u);
    ASSERT_TRUE(m_fs.SetAttributes(P("a").c_str(), kAttrReadOnly));
    EXPECT_EQ(m_fs.GetAttributes(P("a").c_str()) & kAttrReadOnly, kAttrReadOnly);
    ASSERT_TRUE(m_fs.SetAttributes(P("a").c_str(), 0));
    EXPECT_EQ(m_fs.GetAttributes(P("a").c_str()) & kAttrReadOnly, 0u);
    // Parts of a second in whole 100 ns, which every platform holds.
    for (FileTimes t :
         {FileTimes{1000000000, 1200000000}, FileTimes{1700000001, 1700000001},
          FileTimes{1700000001, 1700000002, 123456700, 999999900}, FileTimes{-2, -1, 100, 500000000}}) {
        ASSERT_TRUE(m_fs.SetTimes(P("a").c_str(), t));
        FileTimes back;
        ASSERT_TRUE(m_fs.GetTimes(P("a").c_str(), &back));
        EXPECT_EQ(back.modifyTime, t.modifyTime);
        EXPECT_EQ(back.accessTime, t.accessTime);
        EXPECT_EQ(back.modifyNanos, t.modifyNanos);
        EXPECT_EQ(back.accessNanos, t.accessNanos);
    }
    FileTimes none;
    EXPECT_FALSE(m_fs.GetTimes(P("missing").c_str(), &none));
    EXPECT_FALSE(m_fs.SetTimes(P("missing").c_str(), none));
    EXPECT_FALSE(m_fs.SetAttributes(P("missing").c_str(), 0));
}

// Times and attributes read and set through open files agree with the calls
// by name; a copy given them before it closes keeps them once it replaces
// another file.
TEST_F(FileSystemLayer, InfoThroughOpenFilesAndReplace) {
    Make("a", "alpha");
    const FileTimes old{1000000000, 1200000000, 250000000, 750000100};
    ASSERT_TRUE(m_fs.SetTimes(P("a").c_str(), old));
    {
        auto in = m_fs.OpenRead(P("a").c_str());
        ASSERT_TRUE(in);
        FileInfo info;
        ASSERT_TRUE(in->GetInfo(&info));
        EXPECT_EQ(info.attributes, m_fs.GetAttributes(P("a").c_str()));
        EXPECT_EQ(info.times.modifyTime, old.modifyTime);
        EXPECT_EQ(info.times.accessTime, old.accessTime);
    }

    CreateResult r;
    auto out = m_fs.CreateNew(P("b").c_str(), &r);
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->Write("beta", 4));
    // Nothing to set sets nothing; attributes 0 leave them.
    ASSERT_TRUE(out->SetInfo(nullptr, 0));
    ASSERT_TRUE(out->SetInfo(&old, 0));
    FileInfo info;
    ASSERT_TRUE(out->GetInfo(&info));
    EXPECT_EQ(info.attributes & kAttrReadOnly, 0u);
    EXPECT_EQ(info.times.modifyTime, old.modifyTime);
    ASSERT_TRUE(out->SetInfo(nullptr, kAttrReadOnly));
    ASSERT_TRUE(out->Close());
    EXPECT_FALSE(out->GetInfo(&info));
    EXPECT_FALSE(out->SetInfo(&old, 0));

    // Replaces the file there, or takes a free name, keeping what it was given.
    ASSERT_TRUE(m_fs.Replace(P("b").c_str(), P("a").c_str()));
    EXPECT_FALSE(m_fs.Exists(P("b").c_str()));
    FileTimes back;  // before the read below, which may count as an access
    ASSERT_TRUE(m_fs.GetTimes(P("a").c_str(), &back));
    EXPECT_EQ(back.modifyTime, old.modifyTime);
    EXPECT_EQ(back.accessTime, old.accessTime);
    EXPECT_EQ(back.modifyNanos, old.modifyNanos);
    EXPECT_EQ(back.accessNanos, old.accessNanos);
    EXPECT_EQ(Content("a"), "beta");
    EXPECT_EQ(m_fs.GetAttributes(P("a").c_str()) & kAttrReadOnly, kAttrReadOnly);
    ASSERT_TRUE(m_fs.Replace(P("a").c_str(), P("c").c_str()));
    EXPECT_EQ(Content("c"), "beta");
    EXPECT_FALSE(m_fs.Replace(P("a").c_str(), P("c").c_str()));
    EXPECT_EQ(Content("c"), "beta");
}

TEST_F(FileSystemLayer, EnumerateAndFolderIdentity) {
    Make("a", "1");
    Make("b", "2");
    ASSERT_TRUE(MakeFolder("sub"));
    // The converter counts on this to tell a folder from a file.
    EXPECT_EQ(m_fs.OpenRead(P("sub").c_str()), nullptr);
    std::vector<std::pair<std::string, bool>> seen;
    ASSERT_TRUE(m_fs.Enumerate(m_dir.c_str(), [&](const DirEntry& e) {
        seen.emplace_back(e.name, (e.attributes & kAttrDirectory) != 0);
        return true;
    }));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, bool>>{{"a", false}, {"b", false}, {"sub", true}}));

    int visits = 0;
    EXPECT_TRUE(
        m_fs.Enumerate((m_dir + kPathSeparator).c_str(), [&](const DirEntry&) { return ++visits < 2; }));
    EXPECT_EQ(visits, 2);
    EXPECT_FALSE(m_fs.Enumerate(P("missing").c_str(), [](const DirEntry&) { return true; }));

    FolderId top, again, sub;
    ASSERT_TRUE(m_fs.GetFolderId(m_dir.c_str(), &top));
    ASSERT_TRUE(m_fs.GetFolderId((P("sub") + kPathSeparator + "..").c_str(), &again));
    ASSERT_TRUE(m_fs.GetFolderId(P("sub").c_str(), &sub));
    EXPECT_TRUE(top == again);
    EXPECT_FALSE(top == sub);
    EXPECT_FALSE(m_fs.GetFolderId(P("missing").c_str(), &sub));
}

}  // namespace
