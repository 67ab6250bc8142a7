// File names on POSIX systems: one file whatever links lead to it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

FILE* OpenTargetForWriting(const char* path) {
  // O_NOFOLLOW refuses a link at the name; the file is emptied only once it is known to
  // be a regular file of its own.
  int fd = open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return nullptr;
  struct stat st;
  FILE* f = nullptr;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ftruncate(fd, 0) == 0) f = fdopen(fd, "wb");
  if (!f) close(fd);
  return f;
}

}  // namespace norvel
