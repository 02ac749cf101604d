#pragma once
// Module-wide state of Gorsemere.dll: instance handle, the count of live
// objects plus server locks, and the cached type information of the dual
// interface.

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace gorsemere {

HINSTANCE ModuleInstance();
void ModuleAddRef();
void ModuleRelease();
LONG ModuleLockCount();

// Full path of this library, in UTF-16 and as UTF-8 (the registrar's
// text): the process's code page may not spell it. False when it does not
// fit in MAX_PATH units.
bool ModuleFileName(WCHAR (&wide)[MAX_PATH], std::string& utf8);

// Type information of IGorsemereContextMenu from the registered type
// library (or, when that is not registered, from this file's resource 1);
// loaded once and kept for the module. The caller gets its own reference.
HRESULT GetContextMenuTypeInfo(ITypeInfo** info);

}  // namespace gorsemere
