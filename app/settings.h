#pragma once
// The program's persistent options and last choices, one record per process.
// Only Load and Save touch the store.

#include <mutex>
#include <string>

#include "app/profile_store.h"
#include "core/converter.h"

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

    // The five conversion flags of the Options dialog. A run's worker takes
    // one copy for each file while the dialog may store new ones, so these
    // two are safe from any thread. The format is no option (each run has
    // its own): it is stored nowhere and comes back as the default.
    ConvertOptions ConversionOptions() const;
    void SetConversionOptions(const ConvertOptions& options);

    // The other options, read and written on the UI thread only.
    bool AutoStart = true;
    bool AutoClose = false;
    bool AlwaysOnTop = false;
    std::string DefaultFilter = "*.*";
    std::string Program;

    // Last-run state: what the last session chose, offered again.
    std::string LastFile;
    std::string LastFolder;
    int LastFormat = 0;

private:
    mutable std::mutex m_convertLock;
    ConvertOptions m_convert;
    IProfileStore* m_loadedFrom = nullptr;
};
