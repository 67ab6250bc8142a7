// Opening files, file status and file-system operations on Linux.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/file.h"
#include "platform/file_mode.h"

namespace platform {

namespace {

FILE* CloseKeepingErrno(int fd) {
  int error = errno;
  close(fd);
  errno = error;
  return nullptr;
}

// Opens with open(2) and hands the descriptor to a C stream. O_NONBLOCK keeps open()
// itself from waiting for a FIFO's other end; it is cleared again once fstat has shown a
// regular file, where it means nothing anyway. O_NOFOLLOW refuses a symbolic link as the
// last component of the name, so a writer neither writes through one nor creates the
// target of a dangling one.
FILE* OpenRegularFile(const std::string& path, const char* mode) {
  OpenMode m;
  if (!ParseOpenMode(mode, &m)) {
    errno = EINVAL;
    return nullptr;
  }
  int flags = m.read && m.write ? O_RDWR : m.write ? O_WRONLY : O_RDONLY;
  if (m.create) flags |= O_CREAT;
  if (m.truncate) flags |= O_TRUNC;
  if (m.append) flags |= O_APPEND;
  if (m.write) flags |= O_NOFOLLOW;
  int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0) return CloseKeepingErrno(fd);
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : ENXIO;
    return CloseKeepingErrno(fd);
  }
  int status = fcntl(fd, F_GETFL);
  if (status == -1 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) return CloseKeepingErrno(fd);
  FILE* f = fdopen(fd, mode);
  return f ? f : CloseKeepingErrno(fd);
}

}  // namespace

bool File::Open(const std::string& path, const char* mode) {
  Close();
  f_ = OpenRegularFile(path, mode);
  return f_ != nullptr;
}

bool File::Sync() {
  return f_ && std::fflush(f_) == 0 && fsync(fileno(f_)) == 0;
}

bool File::StartSync() {
  if (!f_ || std::fflush(f_) != 0) return false;
#ifdef __linux__
  sync_file_range(fileno(f_), 0, 0, SYNC_FILE_RANGE_WRITE);  // a hint: its failure is no error
#endif
  return true;
}

bool GetFileStatus(const std::string& path, FileStatus* out) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  out->size = static_cast<uint64_t>(st.st_size);
  out->mtime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  out->is_directory = S_ISDIR(st.st_mode);
  return true;
}

bool RemoveFile(const std::string& path) {
  return unlink(path.c_str()) == 0;
}

HeldFile::HeldFile(const std::string& path)
    : fd_(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC)) {}

void HeldFile::Release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool RenameReplace(const std::string& from, const std::string& to) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EBUSY && errno != ETXTBSY) return false;
    SleepMillis(50);
  }
  return false;
}

bool ReplaceKeepingAttributes(const std::string& from, const std::string& to) {
  struct stat old;
  if (stat(to.c_str(), &old) != 0) return RenameReplace(from, to);
  // Through a descriptor of the written file itself, never a name that might have changed.
  int fd = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  // The owner first: a change of owner clears the set-user-ID and set-group-ID bits.
  if (fchown(fd, old.st_uid, old.st_gid) != 0) {
    (void)!fchown(fd, static_cast<uid_t>(-1), old.st_gid);  // the group alone, where allowed
  }
  bool kept = fchmod(fd, old.st_mode & 07777) == 0;
  close(fd);
  return kept && RenameReplace(from, to);
}

bool SyncDirectory(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return true;  // nothing to sync through: the names stay as the system keeps them
  bool synced = fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
  close(fd);
  return synced;
}

bool MakeDirectory(const std::string& path) {
  return mkdir(path.c_str(), 0777) == 0;
}

void SleepMillis(unsigned ms) {
  struct timespec ts;
  ts.tv_sec = ms / 1000;
  ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
  nanosleep(&ts, nullptr);
}

bool File::ReadAt(uint64_t offset, void* dst, size_t n) const {
  if (!f_ || offset > static_cast<uint64_t>(INT64_MAX)) return false;
  int fd = fileno(f_);
  auto* p = static_cast<char*>(dst);
  while (n > 0) {
    ssize_t got = pread(fd, p, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    n -= static_cast<size_t>(got);
    offset += static_cast<uint64_t>(got);
  }
  return true;
}

}  // namespace platform
