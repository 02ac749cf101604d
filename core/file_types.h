#pragma once
// The built-in table of file types offered by the folder, Options and
// Add-files dialogs: "|"-separated description and pattern-list pairs, ended
// by an empty field (the file-open dialog's own filter format).

#include <string>

std::string GetFileTypeFilters();

// Readers over such a table. Fields are numbered from 0; reading stops at the
// first missing or empty field, so row k exists only when fields 2k and
// 2k+1 are both present and non-empty.
int FileTypeRowCount(const std::string& table);
// Empty when the row does not exist.
std::string FileTypeDescription(const std::string& table, int row);
std::string FileTypePatterns(const std::string& table, int row);
