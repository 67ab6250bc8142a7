// Directory listing on Linux.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "platform/dir.h"
#include "platform/path.h"

namespace platform {

bool ListDirectory(const std::string& dir, const std::string& pattern, DirListing* listing) {
  *listing = DirListing();
  // Closed however the listing ends: Add may throw std::bad_alloc.
  std::unique_ptr<DIR, int (*)(DIR*)> d(opendir(dir.c_str()), closedir);
  if (!d) return false;
  while (struct dirent* e = readdir(d.get())) {
    if (!WildcardMatch(pattern.c_str(), e->d_name)) continue;
    bool regular = e->d_type == DT_REG;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st;
      regular = stat(JoinPath(dir, e->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }
    // The size comes with the open: a listing on Linux holds none.
    if (regular) listing->Add(e->d_name, ~uint64_t{0});
  }
  d.reset();
  listing->Sort();
  return true;
}

ListedFileReader::ListedFileReader(const std::string& dir) : dir_(dir) {
  // Names are resolved from the directory itself, not walked from the root each time.
  dir_handle_ = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

ListedFileReader::~ListedFileReader() {
  Close();
  if (dir_handle_ >= 0) close(static_cast<int>(dir_handle_));
}

ListedFileReader::Result ListedFileReader::Open(const DirListing& listing, size_t i,
                                                uint64_t* size) {
  Close();
  error_ = false;
  *size = 0;
  int at = dir_handle_ >= 0 ? static_cast<int>(dir_handle_) : AT_FDCWD;
  std::string name(listing.name(i));
  std::string path = dir_handle_ >= 0 ? name : JoinPath(dir_, name);
  // O_NONBLOCK keeps open() from waiting for a FIFO's other end; on a regular file it
  // means nothing, so it stays set.
  int fd = openat(at, path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st;
  if (fd < 0) {
    // Told apart as the status and the open of the file were: gone, empty, or unreadable.
    if (fstatat(at, path.c_str(), &st, 0) != 0) return Result::kNoStatus;
    *size = static_cast<uint64_t>(st.st_size);
    return *size == 0 ? Result::kOk : Result::kCannotOpen;
  }
  if (fstat(fd, &st) != 0) {
    close(fd);
    return Result::kNoStatus;
  }
  *size = static_cast<uint64_t>(st.st_size);
  if (!S_ISREG(st.st_mode) || *size == 0) {
    close(fd);
    return !S_ISREG(st.st_mode) && *size != 0 ? Result::kCannotOpen : Result::kOk;
  }
  file_ = fd;
  return Result::kOk;
}

// A Linux listing holds no sizes: the size comes from the open file.
ListedFileReader::Result ListedFileReader::OpenAndRead(const DirListing& listing, size_t i,
                                                       uint64_t* size, char*, size_t, size_t* got) {
  *got = 0;
  return Open(listing, i, size);
}

size_t ListedFileReader::Read(char* dst, size_t n) {
  for (;;) {
    if (file_ < 0) return 0;
    ssize_t r = read(static_cast<int>(file_), dst, n);
    if (r >= 0) return static_cast<size_t>(r);
    if (errno == EINTR) continue;
    error_ = true;
    return 0;
  }
}

void ListedFileReader::Close() {
  if (file_ >= 0) close(static_cast<int>(file_));
  file_ = -1;
}

}  // namespace platform

namespace platform {

// Linux file systems keep names as given.
std::string StoredName(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return std::string();
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool RemoveDirectoryTree(const std::string& dir) {
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  bool ok = true;
  while (struct dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string path = JoinPath(dir, name);
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      ok = RemoveDirectoryTree(path) && ok;
    } else {
      ok = unlink(path.c_str()) == 0 && ok;
    }
  }
  closedir(d);
  return rmdir(dir.c_str()) == 0 && ok;
}

}  // namespace platform
