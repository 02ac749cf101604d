#include "shellext/registrar.h"

#include "core/platform/win32_handles.h"
#include "core/platform/win32_text.h"
#include "shellext/registrar_script.h"

#include <shlwapi.h>

#include <cstring>
#include <map>
#include <vector>

namespace gorsemere {
namespace {

HKEY RootKey(const std::string& name) {
    static const struct {
        const char* name;
        HKEY key;
    } kRoots[] = {
        {"HKCR", HKEY_CLASSES_ROOT},  {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKCU", HKEY_CURRENT_USER},  {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKLM", HKEY_LOCAL_MACHINE}, {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKU", HKEY_USERS},          {"HKEY_USERS", HKEY_USERS},
    };
    for (const auto& r : kRoots) {
        if (lstrcmpiA(r.name, name.c_str()) == 0) return r.key;
    }
    return nullptr;
}

LONG SetValue(HKEY key, const RegScriptValue& v) {
    const char* name = v.name.empty() ? nullptr : v.name.c_str();
    if (v.type == 'd') {
        const DWORD number = static_cast<DWORD>(v.number);
        return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    }
    // Texts are UTF-8 (the library's path among them) and stored as UTF-16,
    // so a path outside the process's code page is kept whole.
    std::wstring text;
    if (!WidenName(v.text.c_str(), &text, CP_UTF8)) return ERROR_NO_UNICODE_TRANSLATION;
    std::wstring wideName(v.name.begin(), v.name.end());  // names are ASCII
    return RegSetValueExW(key, v.name.empty() ? nullptr : wideName.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

LONG DeleteTree(HKEY parent, const std::string& name) {
    const LONG rc = static_cast<LONG>(SHDeleteKeyA(parent, name.c_str()));
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

LONG Install(HKEY parent, const RegScriptKey& k) {
    if (k.flag == RegScriptKey::kDelete) return DeleteTree(parent, k.name);
    if (k.flag == RegScriptKey::kForceRemove) {
        const LONG rc = DeleteTree(parent, k.name);
        if (rc != ERROR_SUCCESS) return rc;
    }
    CKeyHandle key;
    LONG rc = CreateRegistryKey(parent, k.name.c_str(), KEY_READ | KEY_WRITE, &key);
    if (rc != ERROR_SUCCESS) return rc;
    if (k.hasDefault) rc = SetValue(key.Get(), k.defaultValue);
    for (size_t i = 0; rc == ERROR_SUCCESS && i < k.values.size(); ++i) rc = SetValue(key.Get(), k.values[i]);
    for (size_t i = 0; rc == ERROR_SUCCESS && i < k.children.size(); ++i)
        rc = Install(key.Get(), k.children[i]);
    return rc;
}

LONG Remove(HKEY parent, const RegScriptKey& k) {
    if (k.flag == RegScriptKey::kDelete) return ERROR_SUCCESS;
    if (k.flag != RegScriptKey::kNoRemove) return DeleteTree(parent, k.name);
    // A kept key: only what the script put inside it goes.
    CKeyHandle key;
    LONG rc = OpenRegistryKey(parent, k.name.c_str(), KEY_READ | KEY_WRITE, &key);
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    for (const RegScriptValue& v : k.values) {
        const LONG vrc = RegDeleteValueA(key.Get(), v.name.c_str());
        if (vrc != ERROR_SUCCESS && vrc != ERROR_FILE_NOT_FOUND && rc == ERROR_SUCCESS) rc = vrc;
    }
    // Every child is attempted even after a failure, so that as much as
    // possible is removed.
    for (const RegScriptKey& child : k.children) {
        const LONG crc = Remove(key.Get(), child);
        if (crc != ERROR_SUCCESS && rc == ERROR_SUCCESS) rc = crc;
    }
    return rc;
}

}  // namespace

HRESULT RunRegistrarScript(const std::string& script, const char* modulePath, bool install) {
    std::vector<RegScriptRoot> roots;
    std::string error;
    const std::map<std::string, std::string> replacements{{"MODULE", modulePath}};
    if (!ParseRegistrarScript(script, replacements, roots, error)) return E_UNEXPECTED;
    for (const RegScriptRoot& root : roots) {
        if (!RootKey(root.name)) return E_UNEXPECTED;
    }
    LONG result = ERROR_SUCCESS;
    for (const RegScriptRoot& root : roots) {
        const HKEY rootKey = RootKey(root.name);
        for (const RegScriptKey& key : root.keys) {
            const LONG rc = install ? Install(rootKey, key) : Remove(rootKey, key);
            if (rc != ERROR_SUCCESS) {
                if (install) return HRESULT_FROM_WIN32(rc);
                if (result == ERROR_SUCCESS) result = rc;
            }
        }
    }
    return result == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(result);
}

bool LoadRegistrarScript(HINSTANCE module, int resourceId, std::string& script) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(resourceId), "REGISTRY");
    if (!found) return false;
    HGLOBAL loaded = LoadResource(module, found);
    const DWORD size = SizeofResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return false;
    script.assign(static_cast<const char*>(data), size);
    return true;
}

}  // namespace gorsemere
