// Program path on Linux: the /proc link of the running executable.
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

}  // namespace platform
