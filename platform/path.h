// Path helpers: the platform's separator, joining, and the program's own directory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

#ifdef _WIN32
constexpr char kPathSep = '\\';
#else
constexpr char kPathSep = '/';
#endif

// "dir" + separator + "name", the "%s\%s" of every path the program forms. On Windows a
// path of which one part is held as UTF-8 (below) is joined in UTF-8 throughout, the other
// part converted from the ANSI code page, and is held as UTF-8 itself.
std::string JoinPath(const std::string& dir, const std::string& name);

// Names held as UTF-8. On Windows the program holds a file name in the ANSI code page when
// the code page can spell it, so that such names keep the bytes they always had, and as
// UTF-8 behind kUtf8NameMark when it cannot (a Cyrillic name on a Western system). The mark
// is a byte no Windows name holds, so that the two readings of the same bytes (C4 B1 is
// A-umlaut and plus-minus in Windows-1252, a dotless i in UTF-8) are never confused. Names
// elsewhere are bytes and never marked.
constexpr char kUtf8NameMark = '\x01';
// The name held for the bytes of a name and whether they are UTF-8: on Windows non-ASCII
// UTF-8 behind the mark; elsewhere, and for bytes in the code page, the bytes.
std::string HeldName(std::string_view bytes, bool utf8);
// True for a name or path held as UTF-8 (only ever on Windows).
inline bool HeldAsUtf8(std::string_view held) {
#ifdef _WIN32
  return !held.empty() && held[0] == kUtf8NameMark;
#else
  (void)held;
  return false;
#endif
}
// JoinPath of parts of which one at least is held as UTF-8: the whole path held as UTF-8
// (on Windows; elsewhere, where nothing is marked, the plain join).
std::string JoinInUtf8(const std::string& dir, const std::string& name);
// The bytes of a held name: without the mark.
inline std::string_view NameBytes(std::string_view held) {
  return HeldAsUtf8(held) ? held.substr(1) : held;
}

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
