// Last error text on Linux: strerror of errno.
#include <cerrno>
#include <cstring>

#include "platform/syserror.h"

namespace platform {

std::string LastSystemErrorText() {
  return std::strerror(errno);
}

}  // namespace platform
