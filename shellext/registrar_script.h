#pragma once
// Parser for the COM registrar's script text (the .rgs format): root keys,
// nested keys with ForceRemove / NoRemove / Delete, default values, and
// "val" named values of type s (string) or d (DWORD). Portable, so the
// grammar can be tested without a registry.

#include <map>
#include <string>
#include <vector>

struct RegScriptValue {
    std::string name;          // empty for the key's default value
    char type = 's';           // 's' string, 'd' DWORD
    std::string text;          // for 's'
    unsigned long number = 0;  // for 'd'
};

struct RegScriptKey {
    enum Flag { kPlain, kForceRemove, kNoRemove, kDelete };
    std::string name;
    Flag flag = kPlain;
    bool hasDefault = false;
    RegScriptValue defaultValue;
    std::vector<RegScriptValue> values;
    std::vector<RegScriptKey> children;
};

struct RegScriptRoot {
    std::string name;  // as written: HKCR, HKEY_CLASSES_ROOT, HKCU, ...
    std::vector<RegScriptKey> keys;
};

// Replacements map a name such as "MODULE" to its text; "%MODULE%" in any
// key name or value is replaced after tokenizing, so a replacement holding
// an apostrophe or spaces cannot change the script's structure. "%%" is a
// literal "%". False, with a short reason in `error`, for any syntax error,
// unknown variable, empty key name or unknown value type.
bool ParseRegistrarScript(const std::string& text, const std::map<std::string, std::string>& replacements,
                          std::vector<RegScriptRoot>& roots, std::string& error);
