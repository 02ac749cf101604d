#pragma once
// Conversions between the system's UTF-16 names and the program's narrow
// ones, which are in the process's ANSI code page: UTF-8 wherever the
// manifest's code page is honoured, the legacy one elsewhere.
//
// A name converts exactly or not at all. A legacy code page would otherwise
// put "?" or a look-alike ("A" for "Ā") in place of a character it lacks,
// and such a name either fails later or, worse, names some other file.

#include <cstddef>
#include <string>

#include <windows.h>

bool NarrowName(const wchar_t* wide, std::string* narrow);
bool WidenName(const char* narrow, std::wstring* wide);

// The length of the longest start of text[0, length) that fits in room
// bytes and ends between two characters of the code page, for a text cut to
// a buffer: half a character would show as garbage, or spoil what follows.
size_t TextPrefixLength(const char* text, size_t length, size_t room, UINT codePage = CP_ACP);
