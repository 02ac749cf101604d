#pragma once
// A strict reader of one flat JSON object (string, number, true, false and
// null values), enough to read pardwell-cli's --json lines back.

#include <map>
#include <string>

// Strings decoded to UTF-8; other values as their text. False on any
// syntax error, a bad escape or a lone surrogate.
bool ParseJsonObject(const std::string& text, std::map<std::string, std::string>* object);
