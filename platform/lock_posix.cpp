// Byte locks on Linux: open-file-description locks, which conflict between descriptors
// of one process too (classic POSIX record locks would not).
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/lock.h"

namespace platform {

namespace {

std::atomic<LockCallHook> g_hook{nullptr};

LockCall SetLock(int fd, uint32_t offset, short type) {
  if (LockCallHook hook = g_hook.load()) return hook(offset, type == F_RDLCK, type == F_UNLCK);
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = 1;
  if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return LockCall::kDone;
  return errno == ENOLCK || errno == ENOSYS ? LockCall::kUnsupported : LockCall::kConflict;
}

}  // namespace

void SetLockCallForTesting(LockCallHook hook) {
  g_hook = hook;
}

bool ByteLock::Open(const std::string& path) {
  Close();
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  return fd_ >= 0;
}

bool ByteLock::OpenExisting(const std::string& path) {
  Close();
  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  return fd_ >= 0;
}

bool ByteLock::TryLockByte(uint32_t offset, bool shared) {
  no_locks_ = false;
  if (fd_ < 0) return false;
  LockCall call = SetLock(fd_, offset, shared ? F_RDLCK : F_WRLCK);
  no_locks_ = call == LockCall::kUnsupported;
  return call == LockCall::kDone;
}

void ByteLock::UnlockByte(uint32_t offset) {
  if (fd_ >= 0) SetLock(fd_, offset, F_UNLCK);
}

void ByteLock::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool ByteLock::is_open() const {
  return fd_ >= 0;
}

}  // namespace platform
