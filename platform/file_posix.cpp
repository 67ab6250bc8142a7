// File status and file-system operations on Linux.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/file.h"

namespace platform {

bool GetFileStatus(const std::string& path, FileStatus* out) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  out->size = static_cast<uint64_t>(st.st_size);
  out->mtime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  out->is_directory = S_ISDIR(st.st_mode);
  return true;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool RenameReplace(const std::string& from, const std::string& to) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EBUSY && errno != ETXTBSY) return false;
    SleepMillis(50);
  }
  return false;
}

bool MakeDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

void SleepMillis(unsigned ms) {
  struct timespec ts;
  ts.tv_sec = ms / 1000;
  ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
  nanosleep(&ts, nullptr);
}

}  // namespace platform
