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
    const ProgramOptions defaults;
    const LastChoices lastDefaults;
    ConvertOptions convert;  // the defaults until read
    m_last.file = store.GetString(kSection, "LastFile", lastDefaults.file.c_str());
    m_last.folder = store.GetString(kSection, "LastFolder", lastDefaults.folder.c_str());
    m_options.defaultFilter = store.GetString(kSection, "DefaultFilter", defaults.defaultFilter.c_str());
    m_last.format = store.GetInt(kSection, "LastFormat", lastDefaults.format);
    convert.keepTimestamp = GetFlag(store, "KeepTimestamp", convert.keepTimestamp);
    convert.keepAttributes = GetFlag(store, "KeepAttributes", convert.keepAttributes);
    convert.allowReadOnly = GetFlag(store, "IgnoreReadOnly", convert.allowReadOnly);
    convert.backup = GetFlag(store, "BackupFile", convert.backup);
    m_options.autoStart = GetFlag(store, "AutoStart", defaults.autoStart);
    m_options.autoClose = GetFlag(store, "AutoClose", defaults.autoClose);
    m_options.alwaysOnTop = GetFlag(store, "AlwaysOnTop", defaults.alwaysOnTop);
    m_options.skipIgnored = GetFlag(store, "SkipIgnored", defaults.skipIgnored);
    m_options.program = store.GetString(kSection, "Program", defaults.program.c_str());
    convert.skipBinary = GetFlag(store, "SkipBinary", convert.skipBinary);
    SetConversionOptions(convert);
    m_loadedFrom = &store;
    return true;
}

void CAppSettings::Save(IProfileStore& store) {
    const ConvertOptions convert = ConversionOptions();
    store.WriteString(kSection, "LastFile", m_last.file.c_str());
    store.WriteString(kSection, "LastFolder", m_last.folder.c_str());
    store.WriteString(kSection, "DefaultFilter", m_options.defaultFilter.c_str());
    store.WriteString(kSection, "Program", m_options.program.c_str());
    store.WriteInt(kSection, "LastFormat", m_last.format);
    WriteFlag(store, "KeepTimestamp", convert.keepTimestamp);
    WriteFlag(store, "KeepAttributes", convert.keepAttributes);
    WriteFlag(store, "IgnoreReadOnly", convert.allowReadOnly);
    WriteFlag(store, "BackupFile", convert.backup);
    WriteFlag(store, "AutoStart", m_options.autoStart);
    WriteFlag(store, "AutoClose", m_options.autoClose);
    WriteFlag(store, "AlwaysOnTop", m_options.alwaysOnTop);
    WriteFlag(store, "SkipIgnored", m_options.skipIgnored);
    WriteFlag(store, "SkipBinary", convert.skipBinary);
}
