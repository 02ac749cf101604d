#pragma once
// Runs a registrar script against the real registry.

#include <windows.h>

#include <string>

namespace gorsemere {

// Registers (`install` true) or removes what the script describes, with
// "%MODULE%" standing for `modulePath` (UTF-8, as all texts). Removal of keys that are already
// gone is not an error.
HRESULT RunRegistrarScript(const std::string& script, const char* modulePath, bool install);

// The text of a REGISTRY resource of `module`.
bool LoadRegistrarScript(HINSTANCE module, int resourceId, std::string& script);

}  // namespace gorsemere
