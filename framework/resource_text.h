#pragma once
// Texts of the program's string table.

#include <windows.h>

#include <string>

// String `id` of the program's own module, or "" when there is none.
std::string LoadResourceText(UINT id);
// String `id` of `module`, or "" when there is none.
std::string LoadResourceText(HINSTANCE module, UINT id);
