// Paths on Windows: the program's path from the module file name of the executable; both
// slashes separate; drives and network roots.
#include <windows.h>

#include "platform/path.h"

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

bool IsPlainFileName(const std::string& name) {
  return name.find_first_of("/\\:") == std::string::npos && name != "." && name != "..";
}

}  // namespace platform
