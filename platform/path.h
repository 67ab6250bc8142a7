// Path helpers: the platform's separator, joining, and the program's own directory.
#pragma once

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

}  // namespace platform
