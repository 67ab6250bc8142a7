// Paths on Windows: the program's path from the module file name of the executable; both
// slashes separate; drives and network roots.
#include <windows.h>

#include "platform/path.h"
#include "platform/wide_win.h"

namespace platform {

std::string ProgramPath() {
  char buf[MAX_PATH * 2];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return std::string();
  return std::string(buf, n);
}

bool IsPathSeparator(char c) {
  return c == '\\' || c == '/';
}

size_t PathRootLength(const std::string& path) {
  size_t i = 0;
  size_t colon = path.find(':');
  if (colon != std::string::npos) i = colon + 1;
  if (i == 0 && path.size() > 1 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
    int parts = 0;
    i = 2;
    while (i < path.size() && parts < 2) {
      if (IsPathSeparator(path[i])) ++parts;
      ++i;
    }
    return i;
  }
  while (i < path.size() && IsPathSeparator(path[i])) ++i;
  return i;
}

bool DriveExists(const std::string& path) {
  size_t colon = path.find(':');
  if (colon == std::string::npos) return true;
  char letter = path[0];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  if (letter < 'A' || letter > 'Z') return false;
  const char root[] = {letter, ':', '\\', '\0'};
  DWORD attributes = GetFileAttributesA(root);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// No Windows name holds a control character: a name with one (the mark of a name held as
// UTF-8 among them) can only come from a damaged list.
bool IsPlainFileName(const std::string& name) {
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  return name.find_first_of("/\\:") == std::string::npos && name != "." && name != "..";
}

std::string HeldName(std::string_view bytes, bool utf8) {
  bool ascii = true;
  for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (!utf8 || ascii) return std::string(bytes);
  return kUtf8NameMark + std::string(bytes);
}

namespace {

// A held part of a path in UTF-8.
std::string Utf8Of(const std::string& held) {
  if (HeldAsUtf8(held)) return held.substr(1);
  return Utf8FromWide(WideFromAnsi(held));
}

}  // namespace

std::string JoinInUtf8(const std::string& dir, const std::string& name) {
  return kUtf8NameMark + Utf8Of(dir) + kPathSep + Utf8Of(name);
}

}  // namespace platform
