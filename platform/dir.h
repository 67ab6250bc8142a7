// Directory listing: the regular files of one directory whose names match a pattern,
// sorted by name in byte order on every platform, so file numbers are reproducible.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Windows-style wildcard match ('*' any run, '?' one character), ignoring the case of
// ASCII letters as the Windows file system does ("A.TXT" matches "*.txt").
bool WildcardMatch(const char* pattern, const char* name);

// Fills names with the matching regular files (no directories) of dir, sorted by byte
// order. Returns false when the directory cannot be read.
bool ListDirectory(const std::string& dir, const std::string& pattern,
                   std::vector<std::string>* names);

}  // namespace platform

namespace platform {

// Removes a directory with everything below it; false when something stayed.
bool RemoveDirectoryTree(const std::string& dir);

}  // namespace platform
