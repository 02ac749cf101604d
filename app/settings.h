#pragma once
// The program's persistent options and last choices, one record per process.
// Only Load and Save touch the store.

#include <mutex>
#include <string>

#include "app/profile_store.h"
#include "core/converter.h"

// The options other than the conversion flags.
struct ProgramOptions {
    bool autoStart = true;
    bool autoClose = false;
    bool alwaysOnTop = false;
    bool skipIgnored = true;  // a folder's expansion leaves out what Git ignores
    std::string defaultFilter = "*.*";
    std::string program;
};

// What the last session chose, offered again.
struct LastChoices {
    std::string file;
    std::string folder;
    int format = 0;
};

class CAppSettings {
public:
    CAppSettings() = default;
    CAppSettings(const CAppSettings&) = delete;
    CAppSettings& operator=(const CAppSettings&) = delete;
    // Saves to the store that Load read from. A record that was never loaded
    // saves nothing, so an early exit cannot put the defaults over stored
    // values. That store must outlive the record.
    virtual ~CAppSettings();

    // Reads all fourteen values from section "Settings"; missing ones take
    // their defaults. Always true.
    bool Load(IProfileStore& store);
    // Writes all fourteen values, flags as 1 or 0; write errors are ignored.
    void Save(IProfileStore& store);

    // The five conversion flags of the Options dialog. A run's worker takes
    // one copy for each file while the dialog may store new ones, so these
    // two are safe from any thread. The format is no option (each run has
    // its own): it is stored nowhere and comes back as the default.
    ConvertOptions ConversionOptions() const;
    void SetConversionOptions(const ConvertOptions& options);

    // The other options and the last choices, read and written on the UI
    // thread only.
    ProgramOptions& Options() { return m_options; }
    const ProgramOptions& Options() const { return m_options; }
    LastChoices& Last() { return m_last; }
    const LastChoices& Last() const { return m_last; }

private:
    ProgramOptions m_options;
    LastChoices m_last;
    mutable std::mutex m_convertLock;
    ConvertOptions m_convert;
    IProfileStore* m_loadedFrom = nullptr;
};
