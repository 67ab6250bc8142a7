// Directory listing on Windows. FindFirstFile also matches 8.3 short names, so every
// name is matched again against the pattern itself.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/dir.h"
#include "platform/handle_win.h"
#include "platform/path.h"
#include "platform/wide_win.h"

namespace platform {

bool ListDirectory(const std::string& dir, const std::string& pattern, DirListing* listing) {
  *listing = DirListing();
  // Listed wide, so that a name the code page cannot spell is listed (as UTF-8) too.
  WIN32_FIND_DATAW fd;
  FindFilesW find(WidePath(JoinPath(dir, "*")).c_str(), &fd);
  if (!find.valid()) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::string name = NameFromWide(fd.cFileName);
    if (!WildcardMatch(pattern.c_str(), std::string(NameBytes(name)).c_str())) continue;
    listing->Add(name.c_str(), (uint64_t{fd.nFileSizeHigh} << 32) | fd.nFileSizeLow);
  } while (find.Next(&fd));
  listing->Sort();
  return true;
}

ListedFileReader::ListedFileReader(const std::string& dir) : dir_(dir) {}

ListedFileReader::~ListedFileReader() {
  Close();
}

namespace {

// What the status of a file that was not opened as a disk file tells: gone, empty, or
// there but unreadable.
ListedFileReader::Result WithoutOpening(const std::string& path, uint64_t* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) {
    return ListedFileReader::Result::kNoStatus;
  }
  *size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  return *size == 0 ? ListedFileReader::Result::kOk : ListedFileReader::Result::kCannotOpen;
}

// Whether a name may open a device rather than a file ("NUL.txt", "com1.txt", "CON .txt"):
// names of up to seven characters before the first dot that begin as a device's name. Only
// such a handle needs its type checked.
bool MayNameADevice(std::string_view name) {
  size_t stem = name.find('.');
  if (stem == std::string_view::npos) stem = name.size();
  while (stem > 0 && name[stem - 1] == ' ') --stem;
  if (stem < 3 || stem > 7) return false;
  char head[3];
  for (int k = 0; k < 3; ++k) head[k] = static_cast<char>(name[k] & ~0x20);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "COM", "LPT"}) {
    if (std::memcmp(head, device, 3) == 0) return true;
  }
  return false;
}

}  // namespace

// The size is taken from the open file, as it is when it is read: the listing's size may
// be stale (a file emptied, grown or deleted since), and only cuts the parts of a build.
ListedFileReader::Result ListedFileReader::Open(const DirListing& listing, size_t i,
                                                uint64_t* size) {
  Close();
  error_ = false;
  *size = 0;
  std::string path = JoinPath(dir_, std::string(listing.name(i)));
  // The share mode of the C runtime's fopen; a device ("NUL.txt") or a pipe is refused.
  KernelHandle h(CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h || GetFileType(h.get()) != FILE_TYPE_DISK) {
    h.reset();
    return WithoutOpening(path, size);
  }
  LARGE_INTEGER bytes;
  if (!GetFileSizeEx(h.get(), &bytes)) return Result::kNoStatus;
  *size = static_cast<uint64_t>(bytes.QuadPart);
  if (*size == 0) return Result::kOk;
  file_ = reinterpret_cast<intptr_t>(h.release());
  return Result::kOk;
}

// The listed size only tells how much to read: a read that ends short of n has read the
// whole file as it is now, and tells its size. A file listed as empty takes the way of
// Open (it may be something other than a file, which is not to be read).
ListedFileReader::Result ListedFileReader::OpenAndRead(const DirListing& listing, size_t i,
                                                       uint64_t* size, char* dst, size_t n,
                                                       size_t* got) {
  *got = 0;
  if (!listing.size_known() || listing.file_size(i) == 0 || n == 0 || n > 0x40000000) {
    return Open(listing, i, size);
  }
  Close();
  error_ = false;
  *size = 0;
  std::string_view name = listing.name(i);
  std::string path = JoinPath(dir_, std::string(name));
  KernelHandle h(CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h || (MayNameADevice(name) && GetFileType(h.get()) != FILE_TYPE_DISK)) {
    h.reset();
    return WithoutOpening(path, size);
  }
  DWORD read = 0;
  if (ReadFile(h.get(), dst, static_cast<DWORD>(n), &read, nullptr) && read < n) {
    *size = read;
    *got = read;
    return Result::kOk;  // all of it: the handle closes here
  }
  // Grown past the listed size, or a read that failed (Read tells that again): the size of
  // the open file, and the rest is read as after Open.
  bool failed = read == 0;
  LARGE_INTEGER bytes;
  if (!GetFileSizeEx(h.get(), &bytes)) return Result::kNoStatus;
  *size = static_cast<uint64_t>(bytes.QuadPart);
  *got = failed ? 0 : read;
  if (*size == 0 && failed) return Result::kOk;
  file_ = reinterpret_cast<intptr_t>(h.release());
  return Result::kOk;
}

size_t ListedFileReader::Read(char* dst, size_t n) {
  if (file_ == -1) return 0;
  DWORD want = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
  DWORD got = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(file_), dst, want, &got, nullptr)) {
    error_ = true;
    return 0;
  }
  return got;
}

void ListedFileReader::Close() {
  if (file_ != -1) CloseHandle(reinterpret_cast<HANDLE>(file_));
  file_ = -1;
}

}  // namespace platform

namespace platform {

std::string StoredName(const std::string& path) {
  WIN32_FIND_DATAW fd;
  FindFilesW find(WidePath(path).c_str(), &fd);
  return find.valid() ? NameFromWide(fd.cFileName) : std::string();
}

bool RemoveDirectoryTree(const std::string& dir) {
  WIN32_FIND_DATAW fd;
  bool ok = true;
  // The search is closed before the directory itself is removed.
  if (FindFilesW find(WidePath(JoinPath(dir, "*")).c_str(), &fd); find.valid()) {
    do {
      std::string name = NameFromWide(fd.cFileName);
      if (name == "." || name == "..") continue;
      std::string path = JoinPath(dir, name);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        ok = RemoveDirectoryTree(path) && ok;
      } else {
        SetFileAttributesW(WidePath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        ok = DeleteFileW(WidePath(path).c_str()) && ok;
      }
    } while (find.Next(&fd));
  }
  return RemoveDirectoryW(WidePath(dir).c_str()) && ok;
}

}  // namespace platform
