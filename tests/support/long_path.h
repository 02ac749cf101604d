#pragma once
// Deep folders whose paths run past every fixed buffer, in three scripts:
// Japanese, Greek and accented Latin names, repeated to depth. Each name stays
// well inside the 255 bytes Linux (and Wine on it) allows one name, so the
// length comes from depth.

#include <cstddef>
#include <string>

// Makes folders below base, one inside the other, until the deepest one's
// path is at least minCharacters characters (code points) long, and returns
// that path in UTF-8 (the code page under the program's manifest: a Windows
// test asserts it has that), joined with the platform's separator. Empty if a folder could not be made. The
// tree lives inside base and goes with it.
std::string MakeDeepFolder(const std::string& base, size_t minCharacters);

// Code points in a UTF-8 text.
size_t CharacterCount(const std::string& utf8);

// Whether path names a file or folder, at any length.
bool PathExists(const std::string& path);
