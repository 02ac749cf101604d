#pragma once
// A file's whole content, read or written at once, in binary.

#include <string>

// The content of path, or ifMissing if it cannot be opened.
std::string ReadWholeFile(const std::string& path, const std::string& ifMissing = "");
// Makes or replaces path with data; false if that fails.
bool WriteWholeFile(const std::string& path, const std::string& data);
