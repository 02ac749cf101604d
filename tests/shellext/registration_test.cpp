#include "test_support.h"

#include "gorsemere_idl.h"

#include <shlobj.h>

#include <gtest/gtest.h>

namespace {

const std::string kClassKey = std::string("CLSID\\") + kClsidText;
const std::string kStarHandler = "*\\ShellEx\\ContextMenuHandlers\\Pardwell";
const std::string kFolderHandler = "Folder\\ShellEx\\ContextMenuHandlers\\Pardwell";

struct Expected {
    std::string key;
    const char* name;  // "" = default value, nullptr = the key only
    std::string value;
};

std::vector<Expected> RegistrationTable() {
    const std::string cls = kClsidText;
    return {
        {"Pardwell.ShellContextMenu.1", "", "GorsemereContextMenu Class"},
        {"Pardwell.ShellContextMenu.1\\CLSID", "", cls},
        {"Pardwell.ShellContextMenu", "", "GorsemereContextMenu Class"},
        {"Pardwell.ShellContextMenu\\CLSID", "", cls},
        {"Pardwell.ShellContextMenu\\CurVer", "", "Pardwell.ShellContextMenu.1"},
        {kClassKey, "", "GorsemereContextMenu Class"},
        {kClassKey + "\\ProgID", "", "Pardwell.ShellContextMenu.1"},
        {kClassKey + "\\VersionIndependentProgID", "", "Pardwell.ShellContextMenu"},
        {kClassKey + "\\Programmable", nullptr, ""},
        {kClassKey + "\\InprocServer32", "", GorsemerePath()},
        {kClassKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {kClassKey + "\\TypeLib", "", kLibidText},
        {kStarHandler, "", cls},
        {kFolderHandler, "", cls},
        {std::string("TypeLib\\") + kLibidText + "\\1.0", "", "Gorsemere 1.0 Type Library"},
    };
}

void ExpectRegistered() {
    for (const Expected& e : RegistrationTable()) {
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, e.key)) << e.key;
        if (e.name) {
            EXPECT_STRCASEEQ(e.value.c_str(), ReadString(HKEY_CLASSES_ROOT, e.key, e.name).c_str())
                << e.key << " " << e.name;
        }
    }
}

// One sequence, because each step starts from the state the last one left.
TEST(Registration, Regsvr32RegistersRewritesAndRemoves) {
    ASSERT_EQ(0u, RunRegsvr32("/s", GorsemerePath()));
    ExpectRegistered();

    // Litter under ForceRemove keys goes on the next registration; a
    // neighbour's handler beside ours is never touched.
    const std::string otherHandler = "*\\ShellEx\\ContextMenuHandlers\\SomeoneElse";
    ASSERT_TRUE(WriteString(HKEY_CLASSES_ROOT, kClassKey + "\\Stale", "", "x"));
    ASSERT_TRUE(WriteString(HKEY_CLASSES_ROOT, kStarHandler + "\\Stale", "", "x"));
    ASSERT_TRUE(WriteString(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "", "C:\\elsewhere.dll"));
    ASSERT_TRUE(WriteString(HKEY_CLASSES_ROOT, otherHandler, "", "{00000000-0000-0000-0000-000000000001}"));
    ASSERT_EQ(0u, RunRegsvr32("/s", GorsemerePath()));
    ExpectRegistered();
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Stale"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kStarHandler + "\\Stale"));

    ASSERT_EQ(0u, RunRegsvr32("/u /s", GorsemerePath()));
    const char* removed[] = {"Pardwell.ShellContextMenu.1",
                             "Pardwell.ShellContextMenu",
                             "CLSID\\{652C06C2-4FC0-42E0-9792-36126E42C712}",
                             "*\\ShellEx\\ContextMenuHandlers\\Pardwell",
                             "Folder\\ShellEx\\ContextMenuHandlers\\Pardwell",
                             "TypeLib\\{B0B1A08D-4DED-4244-B82F-674C87941331}"};
    for (const char* key : removed) EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    const char* kept[] = {"CLSID",
                          "*",
                          "*\\ShellEx",
                          "*\\ShellEx\\ContextMenuHandlers",
                          "Folder",
                          "Folder\\ShellEx",
                          "Folder\\ShellEx\\ContextMenuHandlers"};
    for (const char* key : kept) EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    EXPECT_EQ("{00000000-0000-0000-0000-000000000001}", ReadString(HKEY_CLASSES_ROOT, otherHandler, ""));
    RegDeleteKeyA(HKEY_CLASSES_ROOT, otherHandler.c_str());

    // Removing twice is not an error; registering again restores everything.
    EXPECT_EQ(0u, RunRegsvr32("/u /s", GorsemerePath()));
    ASSERT_EQ(0u, RunRegsvr32("/s", GorsemerePath()));
    ExpectRegistered();
}

// 64-bit Explorer reads the 64-bit view only, a 32-bit process the 32-bit
// one; each build of the library must register its class in its own view, and
// its type library under its own system kind.
// Installed under a name the process's code page cannot spell (a profile
// folder in another script), the library records its own path whole, and
// the class is created from there.
TEST(Registration, APathOutsideTheCodePageIsRecordedWhole) {
    wchar_t temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
    const std::wstring folder =
        std::wstring(temp) + L"gorsemere \u03a9 \u65e5\u672c " + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring copy = folder + L"\\Gorsemere.dll";
    const std::string built = GorsemerePath();
    ASSERT_TRUE(CopyFileW(std::wstring(built.begin(), built.end()).c_str(), copy.c_str(), FALSE));

    std::wstring line = L"regsvr32.exe /s \"" + copy + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(0u, code);

    wchar_t server[MAX_PATH] = {};
    DWORD size = sizeof server - sizeof(wchar_t);
    const std::string serverKey = kClassKey + "\\InprocServer32";
    EXPECT_EQ(ERROR_SUCCESS,
              RegGetValueW(HKEY_CLASSES_ROOT, std::wstring(serverKey.begin(), serverKey.end()).c_str(),
                           nullptr, RRF_RT_REG_SZ, nullptr, server, &size));
    EXPECT_TRUE(lstrcmpiW(server, copy.c_str()) == 0) << "the server path was not kept whole";
    IUnknown* object = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_GorsemereContextMenu, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(&object)));
    if (object) object->Release();
    CoFreeUnusedLibrariesEx(0, 0);

    // The build's library takes the registration back for the other tests.
    EXPECT_EQ(0u, RunRegsvr32("/s", GorsemerePath()));
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST(Registration, ClassAndTypeLibraryBelongToTheLibrarysOwnKind) {
#ifdef _WIN64
    const REGSAM own = KEY_WOW64_64KEY, other = KEY_WOW64_32KEY;
    const bool twoViews = true;
    const char* sysKind = "win64";
#else
    const REGSAM own = KEY_WOW64_32KEY, other = KEY_WOW64_64KEY;
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    const bool twoViews = wow64 != FALSE;
    const char* sysKind = "win32";
#endif
    ASSERT_EQ(0u, RunRegsvr32("/s", GorsemerePath()));
    const std::string server = kClassKey + "\\InprocServer32";
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, server, own));
    if (twoViews) {
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, server, other)) << "registered in the other kind's view";
    }
    const std::string typeLib = std::string("TypeLib\\") + kLibidText + "\\1.0\\0\\";
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, typeLib + sysKind));

    ASSERT_EQ(0u, RunRegsvr32("/u /s", GorsemerePath()));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, server, own));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, typeLib + sysKind));
    ASSERT_EQ(0u, RunRegsvr32("/s", GorsemerePath()));
}

TEST(Registration, ExportsFollowTheInProcessServerContract) {
    HMODULE module = LoadLibraryA(GorsemerePath().c_str());
    ASSERT_NE(nullptr, module);
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using CanUnload = HRESULT(WINAPI*)();
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    auto canUnload =
        reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_TRUE(getClassObject && canUnload);
    EXPECT_TRUE(GetProcAddress(module, "DllRegisterServer") && GetProcAddress(module, "DllUnregisterServer"));

    CLSID clsid;
    ASSERT_EQ(S_OK, CLSIDFromString(L"{652C06C2-4FC0-42E0-9792-36126E42C712}", &clsid));
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_IUnknown, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_OK, canUnload()) << "a factory reference alone does not pin the library";

    IUnknown* object = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)));
    EXPECT_EQ(S_FALSE, canUnload());
    IUnknown* second = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&second)));
    object->Release();
    EXPECT_EQ(S_FALSE, canUnload());
    second->Release();
    EXPECT_EQ(S_OK, canUnload());

    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_FALSE, canUnload());
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_OK, canUnload());

    EXPECT_EQ(E_NOINTERFACE,
              factory->CreateInstance(nullptr, IID_IClassFactory, reinterpret_cast<void**>(&object)));
    EXPECT_EQ(S_OK, canUnload()) << "a refused creation leaves no object behind";
    factory->Release();
    FreeLibrary(module);
}

}  // namespace
