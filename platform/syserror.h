// The operating system's own text for the calling thread's last error.
#pragma once

#include <string>

namespace platform {

std::string LastSystemErrorText();

}  // namespace platform
