#pragma once
// A profile store held in memory, for tests and for platforms without a
// registry. It records every operation so tests can check orders.

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/profile_store.h"

class CMemoryProfileStore : public IProfileStore {
public:
    std::string GetString(const char* section, const char* name, const char* defaultValue) override;
    int GetInt(const char* section, const char* name, int defaultValue) override;
    bool WriteString(const char* section, const char* name, const char* value) override;
    bool WriteInt(const char* section, const char* name, int value) override;

    bool Has(const char* section, const char* name) const;
    size_t Count() const { return m_values.size(); }
    void Clear() { m_values.clear(); }
    void Erase(const char* section, const char* name);

    // "get:Section\Name" and "put:Section\Name", in call order.
    std::vector<std::string> m_log;

private:
    struct Value {
        bool isInt = false;
        int number = 0;
        std::string text;
    };
    using Key = std::pair<std::string, std::string>;
    static Key MakeKey(const char* section, const char* name);
    std::map<Key, Value> m_values;
};
