// Runs against HKCU\Software\Quillfen\Pardwell of the test prefix, which is
// why the program holds the "registry" lock and wipes the key around each case.
#include "app/registry_store.h"
#include "app/settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

const char kSettingsKey[] = "Software\\Quillfen\\Pardwell\\Settings";

void DeleteTree(HKEY parent, const char* path) {
    HKEY key;
    if (RegOpenKeyExA(parent, path, 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS) return;
    char name[256];
    for (;;) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DeleteTree(key, name);
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, path);
}

bool ReadRaw(const char* path, const char* name, DWORD* type, std::string* data) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char buffer[1024];
    DWORD size = sizeof buffer;
    LONG rc = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    data->assign(buffer, size);
    return true;
}

void WriteRaw(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

DWORD StoredDword(const char* name) {
    DWORD type = 0;
    std::string data;
    if (!ReadRaw(kSettingsKey, name, &type, &data) || type != REG_DWORD || data.size() != 4)
        return 0xDEADBEEF;
    DWORD value;
    memcpy(&value, data.data(), 4);
    return value;
}

class RegistrySettings : public testing::Test {
protected:
    void SetUp() override { DeleteTree(HKEY_CURRENT_USER, kProductRegistryKey); }
    void TearDown() override { DeleteTree(HKEY_CURRENT_USER, kProductRegistryKey); }
    CRegistryProfileStore store;
};

TEST_F(RegistrySettings, FirstRunDefaultsThenAllThirteenValuesStored) {
    auto settings = std::make_unique<CAppSettings>();
    settings->Load(store);
    EXPECT_EQ(settings->Options().defaultFilter, "*.*");
    const ConvertOptions convert = settings->ConversionOptions();
    EXPECT_EQ(convert.keepTimestamp + convert.keepAttributes + convert.allowReadOnly, 3);
    EXPECT_EQ(convert.backup + settings->Options().autoClose + settings->Options().alwaysOnTop +
                  settings->Last().format,
              0);
    EXPECT_EQ(settings->Options().autoStart + convert.skipBinary, 2);
    settings.reset();

    struct Value {
        const char* name;
        DWORD type;
        std::string data;
    } values[] = {
        {"LastFile", REG_SZ, std::string("", 1)},
        {"LastFolder", REG_SZ, std::string("", 1)},
        {"DefaultFilter", REG_SZ, std::string("*.*", 4)},
        {"Program", REG_SZ, std::string("", 1)},
        {"LastFormat", REG_DWORD, std::string("\0\0\0\0", 4)},
        {"KeepTimestamp", REG_DWORD, std::string("\1\0\0\0", 4)},
        {"KeepAttributes", REG_DWORD, std::string("\1\0\0\0", 4)},
        {"IgnoreReadOnly", REG_DWORD, std::string("\1\0\0\0", 4)},
        {"BackupFile", REG_DWORD, std::string("\0\0\0\0", 4)},
        {"AutoStart", REG_DWORD, std::string("\1\0\0\0", 4)},
        {"AutoClose", REG_DWORD, std::string("\0\0\0\0", 4)},
        {"AlwaysOnTop", REG_DWORD, std::string("\0\0\0\0", 4)},
        {"SkipIgnored", REG_DWORD, std::string("\1\0\0\0", 4)},
        {"SkipBinary", REG_DWORD, std::string("\1\0\0\0", 4)},
    };
    for (const Value& v : values) {
        DWORD type = 0;
        std::string data;
        ASSERT_TRUE(ReadRaw(kSettingsKey, v.name, &type, &data)) << v.name;
        EXPECT_EQ(type, v.type) << v.name;
        EXPECT_EQ(data, v.data) << v.name;
    }
}

TEST_F(RegistrySettings, StoredOddValuesLoadAsTheyShould) {
    DWORD five = 5;
    WriteRaw("BackupFile", REG_DWORD, &five, 4);
    WriteRaw("DefaultFilter", REG_SZ, "", 1);
    unsigned long long wide = 0;  // 8 bytes: reads as the default, not as 0
    WriteRaw("KeepTimestamp", REG_QWORD, &wide, 8);
    unsigned char eight[8] = {2, 0, 0, 0, 0, 0, 0, 0};
    WriteRaw("LastFormat", REG_BINARY, eight, 8);
    WriteRaw("Program", REG_SZ, "ed.exe\0junk", 12);  // taken up to the first zero byte
    DWORD zero = 0;
    WriteRaw("SkipBinary", REG_DWORD, &zero, 4);
    {
        CAppSettings settings;
        settings.Load(store);
        const ConvertOptions convert = settings.ConversionOptions();
        EXPECT_TRUE(convert.backup);
        EXPECT_EQ(settings.Options().defaultFilter, "");
        EXPECT_TRUE(convert.keepTimestamp);
        EXPECT_EQ(settings.Last().format, 0);
        EXPECT_EQ(settings.Options().program, "ed.exe");
        EXPECT_FALSE(convert.skipBinary);
    }
    EXPECT_EQ(StoredDword("SkipBinary"), 0u);
    EXPECT_EQ(StoredDword("BackupFile"), 1u);
    EXPECT_EQ(StoredDword("KeepTimestamp"), 1u);
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(ReadRaw(kSettingsKey, "DefaultFilter", &type, &data));
    EXPECT_EQ(data, std::string("", 1));
}

TEST_F(RegistrySettings, LastOfTwoWritersWins) {
    auto first = std::make_unique<CAppSettings>();
    auto second = std::make_unique<CAppSettings>();
    CRegistryProfileStore otherStore;
    first->Load(store);
    second->Load(otherStore);
    first->Last().folder = "C:\\one";
    first->Options().autoClose = true;
    second->Last().folder = "C:\\two";
    first.reset();
    EXPECT_EQ(StoredDword("AutoClose"), 1u);
    second.reset();
    EXPECT_EQ(store.GetString("Settings", "LastFolder", ""), "C:\\two");
    EXPECT_EQ(StoredDword("AutoClose"), 0u);
}

TEST_F(RegistrySettings, UnloadedRecordLeavesTheRegistryAlone) {
    DWORD zero = 0;
    WriteRaw("AutoStart", REG_DWORD, &zero, 4);
    { CAppSettings settings; }
    EXPECT_EQ(StoredDword("AutoStart"), 0u);
    DWORD type;
    std::string data;
    EXPECT_FALSE(ReadRaw(kSettingsKey, "DefaultFilter", &type, &data));
}

TEST_F(RegistrySettings, EmptySectionIsTheApplicationKey) {
    EXPECT_TRUE(store.WriteString("", "InstallDir", "C:\\Program Files\\Pardwell"));
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(ReadRaw(kProductRegistryKey, "InstallDir", &type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(store.GetString("", "InstallDir", ""), "C:\\Program Files\\Pardwell");
    EXPECT_EQ(store.GetString("", "Missing", "fallback"), "fallback");
    EXPECT_EQ(store.GetInt("Nowhere", "Missing", 42), 42);
    EXPECT_TRUE(store.WriteInt("", "Number", -3));
    EXPECT_EQ(store.GetInt("", "Number", 0), -3);
}

TEST(RegistryStore, ScratchKeyKeepsAwayFromTheProductKey) {
    const char scratch[] = "Software\\Quillfen\\PardwellScratch";
    DeleteTree(HKEY_CURRENT_USER, scratch);
    CRegistryProfileStore store(scratch);
    std::string longText(5000, 'x');
    EXPECT_TRUE(store.WriteString("Settings", "Long", longText.c_str()));
    EXPECT_EQ(store.GetString("Settings", "Long", ""), longText);
    DWORD type;
    std::string data;
    EXPECT_FALSE(ReadRaw(kSettingsKey, "Long", &type, &data));
    DeleteTree(HKEY_CURRENT_USER, scratch);
}

}  // namespace
