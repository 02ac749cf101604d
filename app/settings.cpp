#include "app/settings.h"

namespace {
const char kSection[] = "Settings";

int Flag(int value) {
    return value != 0 ? 1 : 0;
}
}  // namespace

CAppSettings::~CAppSettings() {
    if (m_loadedFrom != nullptr) Save(*m_loadedFrom);
}

bool CAppSettings::Load(IProfileStore& store) {
    const CAppSettings defaults;
    LastFile = store.GetString(kSection, "LastFile", defaults.LastFile.c_str());
    LastFolder = store.GetString(kSection, "LastFolder", defaults.LastFolder.c_str());
    DefaultFilter = store.GetString(kSection, "DefaultFilter", defaults.DefaultFilter.c_str());
    LastFormat = store.GetInt(kSection, "LastFormat", defaults.LastFormat);
    KeepTimestamp = store.GetInt(kSection, "KeepTimestamp", defaults.KeepTimestamp);
    KeepAttributes = store.GetInt(kSection, "KeepAttributes", defaults.KeepAttributes);
    IgnoreReadOnly = store.GetInt(kSection, "IgnoreReadOnly", defaults.IgnoreReadOnly);
    BackupFile = store.GetInt(kSection, "BackupFile", defaults.BackupFile);
    AutoStart = store.GetInt(kSection, "AutoStart", defaults.AutoStart);
    AutoClose = store.GetInt(kSection, "AutoClose", defaults.AutoClose);
    AlwaysOnTop = store.GetInt(kSection, "AlwaysOnTop", defaults.AlwaysOnTop);
    Program = store.GetString(kSection, "Program", defaults.Program.c_str());
    SkipBinary = store.GetInt(kSection, "SkipBinary", defaults.SkipBinary);
    m_loadedFrom = &store;
    return true;
}

void CAppSettings::Save(IProfileStore& store) {
    store.WriteString(kSection, "LastFile", LastFile.c_str());
    store.WriteString(kSection, "LastFolder", LastFolder.c_str());
    store.WriteString(kSection, "DefaultFilter", DefaultFilter.c_str());
    store.WriteString(kSection, "Program", Program.c_str());
    store.WriteInt(kSection, "LastFormat", LastFormat);
    store.WriteInt(kSection, "KeepTimestamp", Flag(KeepTimestamp));
    store.WriteInt(kSection, "KeepAttributes", Flag(KeepAttributes));
    store.WriteInt(kSection, "IgnoreReadOnly", Flag(IgnoreReadOnly));
    store.WriteInt(kSection, "BackupFile", Flag(BackupFile));
    store.WriteInt(kSection, "AutoStart", Flag(AutoStart));
    store.WriteInt(kSection, "AutoClose", Flag(AutoClose));
    store.WriteInt(kSection, "AlwaysOnTop", Flag(AlwaysOnTop));
    store.WriteInt(kSection, "SkipBinary", Flag(SkipBinary));
}
