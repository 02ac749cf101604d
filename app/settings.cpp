#include "app/settings.h"

namespace {
const char kSection[] = "Settings";

// Flags are stored as 1 or 0; any other nonzero value read counts as set.
bool GetFlag(IProfileStore& store, const char* name, bool fallback) {
    return store.GetInt(kSection, name, fallback ? 1 : 0) != 0;
}

void WriteFlag(IProfileStore& store, const char* name, bool value) {
    store.WriteInt(kSection, name, value ? 1 : 0);
}
}  // namespace

CAppSettings::~CAppSettings() {
    if (m_loadedFrom != nullptr) Save(*m_loadedFrom);
}

ConvertOptions CAppSettings::ConversionOptions() const {
    std::lock_guard<std::mutex> hold(m_convertLock);
    return m_convert;
}

void CAppSettings::SetConversionOptions(const ConvertOptions& options) {
    std::lock_guard<std::mutex> hold(m_convertLock);
    m_convert = options;
    m_convert.format = ConvertOptions().format;
}

bool CAppSettings::Load(IProfileStore& store) {
    const CAppSettings defaults;
    ConvertOptions convert;  // the defaults until read
    LastFile = store.GetString(kSection, "LastFile", defaults.LastFile.c_str());
    LastFolder = store.GetString(kSection, "LastFolder", defaults.LastFolder.c_str());
    DefaultFilter = store.GetString(kSection, "DefaultFilter", defaults.DefaultFilter.c_str());
    LastFormat = store.GetInt(kSection, "LastFormat", defaults.LastFormat);
    convert.keepTimestamp = GetFlag(store, "KeepTimestamp", convert.keepTimestamp);
    convert.keepAttributes = GetFlag(store, "KeepAttributes", convert.keepAttributes);
    convert.allowReadOnly = GetFlag(store, "IgnoreReadOnly", convert.allowReadOnly);
    convert.backup = GetFlag(store, "BackupFile", convert.backup);
    AutoStart = GetFlag(store, "AutoStart", defaults.AutoStart);
    AutoClose = GetFlag(store, "AutoClose", defaults.AutoClose);
    AlwaysOnTop = GetFlag(store, "AlwaysOnTop", defaults.AlwaysOnTop);
    Program = store.GetString(kSection, "Program", defaults.Program.c_str());
    convert.skipBinary = GetFlag(store, "SkipBinary", convert.skipBinary);
    SetConversionOptions(convert);
    m_loadedFrom = &store;
    return true;
}

void CAppSettings::Save(IProfileStore& store) {
    const ConvertOptions convert = ConversionOptions();
    store.WriteString(kSection, "LastFile", LastFile.c_str());
    store.WriteString(kSection, "LastFolder", LastFolder.c_str());
    store.WriteString(kSection, "DefaultFilter", DefaultFilter.c_str());
    store.WriteString(kSection, "Program", Program.c_str());
    store.WriteInt(kSection, "LastFormat", LastFormat);
    WriteFlag(store, "KeepTimestamp", convert.keepTimestamp);
    WriteFlag(store, "KeepAttributes", convert.keepAttributes);
    WriteFlag(store, "IgnoreReadOnly", convert.allowReadOnly);
    WriteFlag(store, "BackupFile", convert.backup);
    WriteFlag(store, "AutoStart", AutoStart);
    WriteFlag(store, "AutoClose", AutoClose);
    WriteFlag(store, "AlwaysOnTop", AlwaysOnTop);
    WriteFlag(store, "SkipBinary", convert.skipBinary);
}
