// Portable part of the path helpers.
#include "platform/path.h"

namespace platform {

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (HeldAsUtf8(dir) || HeldAsUtf8(name)) return JoinInUtf8(dir, name);
  std::string path = dir;
  path += kPathSep;
  path += name;
  return path;
}

std::string ProgramDirectory() {
  std::string path = ProgramPath();
  size_t cut = path.find_last_of(kPathSep);
  if (cut == std::string::npos) return ".";
  if (cut == 0) return path.substr(0, 1);
  return path.substr(0, cut);
}

}  // namespace platform
