// Program path on Windows: the module file name of the executable.
#include <windows.h>

#include "platform/path.h"

namespace platform {

std::string ProgramPath() {
  char buf[MAX_PATH * 2];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return std::string();
  return std::string(buf, n);
}

}  // namespace platform
