// Path helpers: the platform's separator, joining, and the program's own directory.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

#ifdef _WIN32
constexpr char kPathSep = '\\';
#else
constexpr char kPathSep = '/';
#endif

// "dir" + separator + "name", the "%s\%s" of every path the program forms.
std::string JoinPath(const std::string& dir, const std::string& name);

// Directory of the running executable, taken from its module path (not the command
// line text, whose arguments may hold separators). "." when it cannot be found.
std::string ProgramDirectory();

// Full path of the running executable; empty when it cannot be found.
std::string ProgramPath();

// True for a character that separates path levels: '/' and, on Windows, '\\'.
bool IsPathSeparator(char c);

// The length of the part of path that names a root and is never created: root
// separators and, on Windows, a drive ("C:") or the "\\server\share\" of a network path.
size_t PathRootLength(const std::string& path);

// False when path names a drive letter that does not exist (Windows only: a colon is an
// ordinary character elsewhere).
bool DriveExists(const std::string& path);

// True when name is one plain file name: no separator (nor, on Windows, a drive colon),
// not "." or "..". A name that is not plain could lead out of its directory.
bool IsPlainFileName(const std::string& name);

}  // namespace platform
