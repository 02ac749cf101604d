#pragma once
// The program's persistent options and last choices, one record per process.
// Fields are read and written directly; only Load and Save touch the store.

#include <string>

#include "app/profile_store.h"

class CAppSettings {
public:
    CAppSettings() = default;
    CAppSettings(const CAppSettings&) = delete;
    CAppSettings& operator=(const CAppSettings&) = delete;
    // Saves to the store that Load read from. A record that was never loaded
    // saves nothing, so an early exit cannot put the defaults over stored
    // values. That store must outlive the record.
    virtual ~CAppSettings();

    // Reads all thirteen values from section "Settings"; missing ones take
    // their defaults. Always true.
    bool Load(IProfileStore& store);
    // Writes all thirteen values, flags as 1 or 0; write errors are ignored.
    void Save(IProfileStore& store);

    std::string LastFile;
    std::string LastFolder;
    std::string DefaultFilter = "*.*";
    std::string Program;
    int LastFormat = 0;
    int KeepTimestamp = 1;
    int KeepAttributes = 1;
    int IgnoreReadOnly = 1;
    int BackupFile = 0;
    int AutoStart = 1;
    int AutoClose = 0;
    int AlwaysOnTop = 0;
    // Binary files are left as they are, not converted byte by byte.
    int SkipBinary = 1;

private:
    IProfileStore* m_loadedFrom = nullptr;
};
