#include "app/memory_profile_store.h"
#include "app/settings.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

Strings Prefixed(const char* op, const Strings& names) {
    Strings out;
    for (const std::string& n : names) out.push_back(std::string(op) + ":Settings\\" + n);
    return out;
}

TEST(Settings, LoadAndSaveOrders) {
    CMemoryProfileStore store;
    {
        CAppSettings settings;
        settings.Load(store);
        EXPECT_EQ(store.m_log,
                  Prefixed("get", {"LastFile", "LastFolder", "DefaultFilter", "LastFormat", "KeepTimestamp",
                                   "KeepAttributes", "IgnoreReadOnly", "BackupFile", "AutoStart", "AutoClose",
                                   "AlwaysOnTop", "SkipIgnored", "Program", "SkipBinary"}));
        store.m_log.clear();
    }
    EXPECT_EQ(store.m_log,
              Prefixed("put", {"LastFile", "LastFolder", "DefaultFilter", "Program", "LastFormat",
                               "KeepTimestamp", "KeepAttributes", "IgnoreReadOnly", "BackupFile", "AutoStart",
                               "AutoClose", "AlwaysOnTop", "SkipIgnored", "SkipBinary"}));
}

TEST(Settings, FirstRunGivesDefaultsAndSavesAllTwelve) {
    CMemoryProfileStore store;
    auto settings = std::make_unique<CAppSettings>();
    EXPECT_TRUE(settings->Load(store));
    const ConvertOptions convert = settings->ConversionOptions();
    struct Field {
        const char* name;
        int value;
        int expected;
    } ints[] = {
        {"LastFormat", settings->Last().format, 0},
        {"KeepTimestamp", convert.keepTimestamp, 1},
        {"KeepAttributes", convert.keepAttributes, 1},
        {"IgnoreReadOnly", convert.allowReadOnly, 1},
        {"BackupFile", convert.backup, 0},
        {"AutoStart", settings->Options().autoStart, 1},
        {"AutoClose", settings->Options().autoClose, 0},
        {"AlwaysOnTop", settings->Options().alwaysOnTop, 0},
        {"SkipIgnored", settings->Options().skipIgnored, 1},
        {"SkipBinary", convert.skipBinary, 1},
    };
    for (const Field& f : ints) EXPECT_EQ(f.value, f.expected) << f.name;
    EXPECT_EQ(settings->Options().defaultFilter, "*.*");
    EXPECT_EQ(settings->Last().file + settings->Last().folder + settings->Options().program, "");
    settings.reset();
    EXPECT_EQ(store.Count(), 14u);
    EXPECT_EQ(store.GetInt("Settings", "SkipBinary", -7), 1);
    EXPECT_EQ(store.GetString("Settings", "DefaultFilter", "?"), "*.*");
    EXPECT_EQ(store.GetInt("Settings", "AutoStart", -7), 1);
}

TEST(Settings, StoredValuesRoundTripWithFlagsNormalised) {
    CMemoryProfileStore store;
    struct Stored {
        const char* name;
        int stored;
        int savedBack;
    } flags[] = {
        {"KeepTimestamp", 0, 0}, {"KeepAttributes", 5, 1}, {"IgnoreReadOnly", -1, 1},
        {"BackupFile", 1, 1},    {"AutoStart", 0, 0},      {"AutoClose", 2, 1},
        {"AlwaysOnTop", 0, 0},   {"SkipBinary", 0, 0},  // stored off stays off: the default is on
        {"SkipIgnored", 0, 0},
    };
    for (const Stored& f : flags) store.WriteInt("Settings", f.name, f.stored);
    store.WriteInt("Settings", "LastFormat", 7);  // kept as it is, not normalised
    store.WriteString("Settings", "DefaultFilter", "");
    store.WriteString("Settings", "Program", " C:\\tools\\ed.exe ");
    {
        CAppSettings settings;
        settings.Load(store);
        EXPECT_TRUE(settings.ConversionOptions().keepAttributes);  // any nonzero value counts as set
        EXPECT_EQ(settings.Options().defaultFilter, "");           // stored empty is not missing
        EXPECT_EQ(settings.Options().program, " C:\\tools\\ed.exe ");
    }
    for (const Stored& f : flags) EXPECT_EQ(store.GetInt("Settings", f.name, 99), f.savedBack) << f.name;
    EXPECT_EQ(store.GetInt("Settings", "LastFormat", 99), 7);
    EXPECT_EQ(store.GetString("Settings", "DefaultFilter", "*.*"), "");
}

TEST(Settings, NeverLoadedRecordDoesNotOverwriteStoredValues) {
    CMemoryProfileStore store;
    store.WriteString("Settings", "DefaultFilter", "*.txt");
    store.WriteInt("Settings", "BackupFile", 1);
    store.m_log.clear();
    {
        CAppSettings settings;  // the process ends before Load ran
        settings.SetConversionOptions(ConvertOptions());
    }
    EXPECT_TRUE(store.m_log.empty());
    EXPECT_EQ(store.GetString("Settings", "DefaultFilter", ""), "*.txt");
    EXPECT_EQ(store.GetInt("Settings", "BackupFile", 0), 1);
}

TEST(Settings, LastOfTwoWritersWins) {
    CMemoryProfileStore store;
    auto first = std::make_unique<CAppSettings>();
    auto second = std::make_unique<CAppSettings>();
    first->Load(store);
    second->Load(store);
    first->Last().file = "C:\\first.txt";
    ConvertOptions backup;
    backup.backup = true;
    first->SetConversionOptions(backup);
    second->Last().file = "C:\\second.txt";
    first.reset();
    second.reset();
    EXPECT_EQ(store.GetString("Settings", "LastFile", ""), "C:\\second.txt");
    EXPECT_EQ(store.GetInt("Settings", "BackupFile", -1), 0);  // every value, not only changed ones
}

}  // namespace
