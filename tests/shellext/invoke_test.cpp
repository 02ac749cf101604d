#include "test_support.h"

#include "gorsemere_idl.h"

#include <shlobj.h>

#include <gtest/gtest.h>

namespace {

class Invoke : public testing::Test {
protected:
    void SetUp() override {
        EnsureRegistered();
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_GorsemereContextMenu, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IContextMenu, reinterpret_cast<void**>(&m_menu)));
        ASSERT_EQ(S_OK, m_menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&m_init)));
        m_standinFolder = FolderOf(StandinPath());
        m_record = m_standinFolder + "\\cmdline.txt";
        DeleteFileA(m_record.c_str());
    }
    void TearDown() override {
        if (m_init) m_init->Release();
        if (m_menu) m_menu->Release();
    }
    HRESULT Select(const std::vector<std::string>& paths) {
        IDataObject* data = CreateHDropDataObject(paths);
        const HRESULT hr = m_init->Initialize(nullptr, data, nullptr);
        data->Release();
        return hr;
    }
    HRESULT Run(UINT_PTR verb) {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof info;
        info.lpVerb = reinterpret_cast<LPCSTR>(verb);
        info.nShow = SW_HIDE;
        return m_menu->InvokeCommand(&info);
    }
    // The stand-in's command line, or "<not started>".
    std::string Recorded(DWORD timeoutMs = 20000) {
        std::string line;
        if (!WaitForRecord(m_record, line, timeoutMs)) return "<not started>";
        DeleteFileA(m_record.c_str());
        return line;
    }

    IContextMenu* m_menu = nullptr;
    IShellExtInit* m_init = nullptr;
    std::string m_standinFolder;
    std::string m_record;
};

TEST_F(Invoke, StartsTheProgramWithTheSwitchAndEveryQuotedPath) {
    ScopedInstallDir installDir(m_standinFolder.c_str());
    struct Case {
        UINT verb;
        std::vector<std::string> paths;
        const char* expected;
    } cases[] = {
        {0, {"C:\\a.txt", "C:\\b.txt", "C:\\c.txt"}, "/w \"C:\\a.txt\" \"C:\\b.txt\" \"C:\\c.txt\""},
        {1, {"C:\\some folder"}, "/m \"C:\\some folder\""},
        {2,
         {"C:\\My Documents\\read me.txt", "C:\\windows"},
         "/u \"C:\\My Documents\\read me.txt\" \"C:\\windows\""},
        {2, {"C:\\"}, "/u \"C:\\\\\""},
        {3, {"C:\\repo", "C:\\repo\\a.txt"}, "/p \"C:\\repo\" \"C:\\repo\\a.txt\""},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(S_OK, Select(c.paths));
        ASSERT_EQ(S_OK, Run(c.verb));
        EXPECT_EQ(c.expected, Recorded());
    }
    // A successful command empties the selection.
    ASSERT_EQ(S_OK, Run(1));
    EXPECT_EQ("/m", Recorded());
}

TEST_F(Invoke, RefusesStringVerbsAndUnknownOffsetsWithoutStartingAnything) {
    ScopedInstallDir installDir(m_standinFolder.c_str());
    ASSERT_EQ(S_OK, Select({"C:\\a.txt"}));
    struct Case {
        UINT_PTR verb;
        HRESULT expected;
    } cases[] = {
        {reinterpret_cast<UINT_PTR>("open"), E_INVALIDARG},
        {reinterpret_cast<UINT_PTR>("&Unix/Linux"), E_INVALIDARG},
        {4, E_INVALIDARG},
        {0xFFFF, E_INVALIDARG},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, Run(c.verb));
    EXPECT_EQ(E_INVALIDARG, m_menu->InvokeCommand(nullptr));
    CMINVOKECOMMANDINFO tooSmall = {};
    tooSmall.cbSize = sizeof tooSmall - 4;
    EXPECT_EQ(E_INVALIDARG, m_menu->InvokeCommand(&tooSmall));
#ifdef _WIN64
    // A string verb at a multiple of 4 GiB has only zeros in its low 32 bits;
    // read as an offset it would run the first command.
    char* high = nullptr;
    for (ULONG_PTR at = 0x100000000; !high && at <= 0x7F00000000; at += 0x100000000) {
        high = static_cast<char*>(
            VirtualAlloc(reinterpret_cast<void*>(at), 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    }
    ASSERT_NE(nullptr, high);
    ASSERT_EQ(0u, reinterpret_cast<ULONG_PTR>(high) & 0xFFFFFFFF);
    lstrcpyA(high, "open");
    EXPECT_EQ(E_INVALIDARG, Run(reinterpret_cast<UINT_PTR>(high)));
    VirtualFree(high, 0, MEM_RELEASE);
#endif
    EXPECT_EQ("<not started>", Recorded(1500));
    // The selection survived all of that.
    ASSERT_EQ(S_OK, Run(2));
    EXPECT_EQ("/u \"C:\\a.txt\"", Recorded());
}

TEST_F(Invoke, WithoutAUsableInstallDirStartsNothingAndKeepsTheSelection) {
    ScopedInstallDir installDir(nullptr);
    ASSERT_EQ(S_OK, Select({"C:\\kept.txt"}));
    struct Case {
        const char* what;
        bool present;
        std::string value;
    } cases[] = {
        {"missing", false, ""},
        {"empty", true, ""},
        {"one byte past the program path", true, "C:\\" + std::string(1008, 'd')},
        {"longer than the value buffer", true, std::string(1023, 'd')},
        {"far too long", true, std::string(5000, 'd')},
    };
    for (const Case& c : cases) {
        installDir.Set(c.present ? c.value.c_str() : nullptr);
        EXPECT_EQ(E_INVALIDARG, Run(2)) << c.what;
    }
    EXPECT_EQ("<not started>", Recorded(1500));

    installDir.Set(m_standinFolder.c_str());
    ASSERT_EQ(S_OK, Run(0));
    EXPECT_EQ("/w \"C:\\kept.txt\"", Recorded());

    // A program path of 259 characters is handed to the shell, which finds
    // nothing there: a failure, and the selection stays. One character more
    // is no ANSI path at all and is refused up front.
    const std::string longest = "C:\\" + std::string(259 - 3 - 13, 'd');  // + "\\Pardwell.exe"
    ASSERT_EQ(S_OK, Select({"C:\\kept.txt"}));
    installDir.Set((longest + "e").c_str());
    EXPECT_EQ(E_INVALIDARG, Run(0));
    installDir.Set(longest.c_str());
    EXPECT_TRUE(FAILED(Run(0)));
    installDir.Set(m_standinFolder.c_str());
    ASSERT_EQ(S_OK, Run(0));
    EXPECT_EQ("/w \"C:\\kept.txt\"", Recorded());
}

TEST_F(Invoke, AProgramThatDoesNotStartIsAFailureAndTheSelectionStays) {
    char temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
    const std::string noProgram =
        std::string(temp) + "gorsemere no program " + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(noProgram.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ScopedInstallDir installDir(noProgram.c_str());
    ASSERT_EQ(S_OK, Select({"C:\\kept.txt", "C:\\dir"}));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), Run(1));
    EXPECT_EQ("<not started>", Recorded(1500));

    installDir.Set(m_standinFolder.c_str());
    ASSERT_EQ(S_OK, Run(1));
    EXPECT_EQ("/m \"C:\\kept.txt\" \"C:\\dir\"", Recorded());
    RemoveDirectoryA(noProgram.c_str());
}

// One command line holds 32,767 UTF-16 units, its zero included (CreateProcess):
// the quoted program, a blank, the switch and every quoted path. Paths far
// past MAX_PATH arrive whole; a selection one unit past is refused whole.
TEST_F(Invoke, CommandLineFitsAtItsEdgeAndIsRefusedOneUnitPast) {
    ScopedInstallDir installDir(m_standinFolder.c_str());
    const size_t program = (m_standinFolder + "\\Pardwell.exe").size();
    const size_t text = 32767 - 1 - 3 - program;  // "/u" and the framed paths
    std::vector<std::string> paths;
    size_t used = 2;
    for (int i = 0; text - used > 5000 + 3 + 100; ++i, used += 5000 + 3) {
        char prefix[16];
        wsprintfA(prefix, "C:\\%02d", i);
        paths.push_back(prefix + std::string(5000 - 5, 'x'));
    }
    paths.push_back("C:\\" + std::string(text - used - 3 - 3, 'y'));
    std::string expected = "/u";
    for (const auto& p : paths) expected += " \"" + p + "\"";
    ASSERT_EQ(text, expected.size());

    ASSERT_EQ(S_OK, Select(paths));
    ASSERT_EQ(S_OK, Run(2));
    const std::string recorded = Recorded();
    EXPECT_EQ(expected.size(), recorded.size());
    EXPECT_TRUE(expected == recorded) << "the recorded text differs";

    paths.back() += 'z';
    ASSERT_EQ(S_OK, Select(paths));
    EXPECT_EQ(E_INVALIDARG, Run(2));
    EXPECT_EQ("<not started>", Recorded(1500));
}

TEST_F(Invoke, InitializeRefusesWhatCarriesNoUsableFileList) {
    EXPECT_EQ(E_INVALIDARG, m_init->Initialize(nullptr, nullptr, nullptr));
    // A folder id list without a data object is refused too.
    LPITEMIDLIST desktop = nullptr;
    ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop));
    EXPECT_EQ(E_INVALIDARG, m_init->Initialize(desktop, nullptr, nullptr));
    CoTaskMemFree(desktop);
    IDataObject* empty = CreateEmptyDataObject();
    EXPECT_EQ(E_INVALIDARG, m_init->Initialize(nullptr, empty, nullptr));
    empty->Release();
    // A name that is no UTF-16 (a lone surrogate) names no file: refused.
    IDataObject* broken = CreateWideHDropDataObject({L"C:\\ok.txt", L"C:\\bad\xD800.txt"});
    EXPECT_EQ(E_INVALIDARG, m_init->Initialize(nullptr, broken, nullptr));
    broken->Release();

    // Each Initialize replaces the selection; a refused one leaves it empty.
    ScopedInstallDir installDir(m_standinFolder.c_str());
    ASSERT_EQ(S_OK, Run(1));
    EXPECT_EQ("/m", Recorded());
    ASSERT_EQ(S_OK, Select({"C:\\first.txt"}));
    ASSERT_EQ(S_OK, Select({"C:\\second.txt", "C:\\dir"}));
    ASSERT_EQ(S_OK, Run(1));
    EXPECT_EQ("/m \"C:\\second.txt\" \"C:\\dir\"", Recorded());
}

}  // namespace
