// Byte lock on Linux: open-file-description locks, which conflict between descriptors
// of one process too (classic POSIX record locks would not).
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "platform/lock.h"

namespace platform {

static bool SetLock(int fd, short type) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

bool ByteLock::Open(const std::string& path) {
  Close();
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  return fd_ >= 0;
}

bool ByteLock::TryLock() { return fd_ >= 0 && SetLock(fd_, F_WRLCK); }

void ByteLock::Unlock() {
  if (fd_ >= 0) SetLock(fd_, F_UNLCK);
}

void ByteLock::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool ByteLock::is_open() const { return fd_ >= 0; }

}  // namespace platform
