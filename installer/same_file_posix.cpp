// File names on POSIX systems: one file whatever links lead to it.
#include <sys/stat.h>

#include <cstring>

#include "installer/same_file.h"

namespace norvel {

const char kPathSeparator = '/';

bool SameFile(const char* a, const char* b) {
  struct stat sa, sb;
  if (stat(a, &sa) == 0 && stat(b, &sb) == 0) {
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }
  return std::strcmp(a, b) == 0;
}

}  // namespace norvel
