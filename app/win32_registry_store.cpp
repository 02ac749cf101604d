#include "app/registry_store.h"

#include <windows.h>

#include "core/platform/win32_handles.h"

#include <cstring>
#include <vector>

namespace {

// The key of a section, created if needed; none when that fails.
CKeyHandle OpenSection(const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return CKeyHandle();
    return CKeyHandle(key);
}

}  // namespace

CRegistryProfileStore::CRegistryProfileStore(const char* applicationKey)
    : m_applicationKey(applicationKey != nullptr ? applicationKey : kProductRegistryKey) {}

std::string CRegistryProfileStore::KeyPath(const char* section) const {
    if (section == nullptr || *section == '\0') return m_applicationKey;
    return m_applicationKey + "\\" + section;
}

std::string CRegistryProfileStore::GetString(const char* section, const char* name,
                                             const char* defaultValue) {
    const std::string fallback = defaultValue != nullptr ? defaultValue : "";
    CKeyHandle key = OpenSection(KeyPath(section));
    if (!key) return fallback;
    // The value may grow between the size query and the read; retry a little.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        LONG rc = RegQueryValueExA(key.Get(), name, nullptr, nullptr, nullptr, &size);
        if (rc != ERROR_SUCCESS) return fallback;
        std::vector<char> buffer(size + 1, '\0');
        rc = RegQueryValueExA(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                              &size);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) return fallback;
        buffer[size < buffer.size() ? size : buffer.size() - 1] = '\0';
        return std::string(buffer.data());
    }
    return fallback;
}

int CRegistryProfileStore::GetInt(const char* section, const char* name, int defaultValue) {
    CKeyHandle key = OpenSection(KeyPath(section));
    if (!key) return defaultValue;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        return defaultValue;  // ERROR_MORE_DATA included: more than 4 bytes stored
    return static_cast<int>(value);
}

bool CRegistryProfileStore::WriteString(const char* section, const char* name, const char* value) {
    if (value == nullptr) return false;
    CKeyHandle key = OpenSection(KeyPath(section));
    if (!key) return false;
    return RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>(std::strlen(value) + 1)) == ERROR_SUCCESS;
}

bool CRegistryProfileStore::WriteInt(const char* section, const char* name, int value) {
    CKeyHandle key = OpenSection(KeyPath(section));
    if (!key) return false;
    DWORD data = static_cast<DWORD>(value);
    return RegSetValueExA(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
           ERROR_SUCCESS;
}
