// Paths on Linux: the program's path from the /proc link of the running executable; '/'
// alone separates, and a colon is an ordinary character.
#include <unistd.h>

#include <climits>

#include "platform/path.h"

namespace platform {

std::string ProgramPath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<size_t>(n));
}

bool IsPathSeparator(char c) {
  return c == '/';
}

size_t PathRootLength(const std::string& path) {
  size_t i = 0;
  while (i < path.size() && path[i] == '/') ++i;
  return i;
}

bool DriveExists(const std::string&) {
  return true;
}

std::string HeldName(std::string_view bytes, bool) {
  return std::string(bytes);
}

std::string JoinInUtf8(const std::string& dir, const std::string& name) {
  return dir + kPathSep + name;
}

bool IsPlainFileName(const std::string& name) {
  return name.find('/') == std::string::npos && name != "." && name != "..";
}

}  // namespace platform
