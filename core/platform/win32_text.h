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

// codePage is the process's ANSI one unless named; CP_UTF8 serves texts
// that must keep every character whatever that code page is.
bool NarrowName(const wchar_t* wide, std::string* narrow, UINT codePage = CP_ACP);
bool WidenName(const char* narrow, std::wstring* wide, UINT codePage = CP_ACP);

// For display only, never for a name: what the code page lacks shows as the
// system's look-alike or default character instead of failing the whole text.
std::string ShownText(const wchar_t* wide, UINT codePage = CP_ACP);

// The length of the longest start of text[0, length) that fits in room
// bytes and ends between two characters of the code page, for a text cut to
// a buffer: half a character would show as garbage, or spoil what follows.
size_t TextPrefixLength(const char* text, size_t length, size_t room, UINT codePage = CP_ACP);
