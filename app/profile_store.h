#pragma once
// Per-user key/value store the settings live in. A section is a subkey of the
// application key; the section "" is the application key itself. Each call
// opens what it needs and closes it again, so nothing stays open.

#include <string>

class IProfileStore {
public:
    virtual ~IProfileStore() = default;
    virtual std::string GetString(const char* section, const char* name, const char* defaultValue) = 0;
    virtual int GetInt(const char* section, const char* name, int defaultValue) = 0;
    virtual bool WriteString(const char* section, const char* name, const char* value) = 0;
    virtual bool WriteInt(const char* section, const char* name, int value) = 0;
};
