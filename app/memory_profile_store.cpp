#include "app/memory_profile_store.h"

CMemoryProfileStore::Key CMemoryProfileStore::MakeKey(const char* section, const char* name) {
    return Key(section != nullptr ? section : "", name != nullptr ? name : "");
}

std::string CMemoryProfileStore::GetString(const char* section, const char* name, const char* defaultValue) {
    Key key = MakeKey(section, name);
    m_log.push_back("get:" + key.first + "\\" + key.second);
    auto it = m_values.find(key);
    // A value of the other type reads as missing, like a mistyped registry value.
    if (it == m_values.end() || it->second.isInt) return defaultValue != nullptr ? defaultValue : "";
    return it->second.text;
}

int CMemoryProfileStore::GetInt(const char* section, const char* name, int defaultValue) {
    Key key = MakeKey(section, name);
    m_log.push_back("get:" + key.first + "\\" + key.second);
    auto it = m_values.find(key);
    if (it == m_values.end() || !it->second.isInt) return defaultValue;
    return it->second.number;
}

bool CMemoryProfileStore::WriteString(const char* section, const char* name, const char* value) {
    Key key = MakeKey(section, name);
    m_log.push_back("put:" + key.first + "\\" + key.second);
    if (value == nullptr) return false;
    Value& v = m_values[key];
    v.isInt = false;
    v.text = value;
    return true;
}

bool CMemoryProfileStore::WriteInt(const char* section, const char* name, int value) {
    Key key = MakeKey(section, name);
    m_log.push_back("put:" + key.first + "\\" + key.second);
    Value& v = m_values[key];
    v.isInt = true;
    v.number = value;
    v.text.clear();
    return true;
}

bool CMemoryProfileStore::Has(const char* section, const char* name) const {
    return m_values.count(MakeKey(section, name)) != 0;
}

void CMemoryProfileStore::Erase(const char* section, const char* name) {
    m_values.erase(MakeKey(section, name));
}
