#pragma once
// The per-user registry as the profile store (Windows only): sections are
// subkeys of the application key under HKEY_CURRENT_USER, "" is that key
// itself. Every operation opens (creating if needed) and closes its key.

#include <string>

#include "app/profile_store.h"
#include "res/product_info.h"

constexpr char kProductRegistryKey[] = PARDWELL_REGISTRY_KEY;

class CRegistryProfileStore : public IProfileStore {
public:
    explicit CRegistryProfileStore(const char* applicationKey = kProductRegistryKey);

    // Strings up to their first zero byte; integers as 4 bytes, so a value
    // stored in more bytes reads as the default.
    std::string GetString(const char* section, const char* name, const char* defaultValue) override;
    int GetInt(const char* section, const char* name, int defaultValue) override;
    bool WriteString(const char* section, const char* name, const char* value) override;
    bool WriteInt(const char* section, const char* name, int value) override;

    const std::string& ApplicationKey() const { return m_applicationKey; }

private:
    std::string KeyPath(const char* section) const;
    std::string m_applicationKey;
};
