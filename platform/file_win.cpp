// Opening files, file status and file-system operations on Windows.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <winioctl.h>

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/file_mode.h"
#include "platform/handle_win.h"
#include "platform/wide_win.h"

namespace platform {

namespace {

// The share mode the C runtime's fopen uses.
constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

KernelHandle OpenHandle(const std::string& path, DWORD access, DWORD disposition, DWORD flags) {
  return KernelHandle(CreateFileW(WidePath(path).c_str(), access, kShare, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL | flags, nullptr));
}

// Closes h and fails with error as the reason.
KernelHandle Refuse(KernelHandle h, DWORD error) {
  h.reset();
  SetLastError(error);
  return KernelHandle();
}

// True when a handle opened on the reparse point itself is a link: a symbolic link, a
// junction or any other reparse point that stands for another name. A reparse point that
// cannot be read counts as one. Cloud placeholders and deduplicated files are no links:
// their content is the file itself.
bool IsLink(HANDLE h) {
  std::vector<unsigned char> buf(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD got = 0;
  if (!DeviceIoControl(h, FSCTL_GET_REPARSE_POINT, nullptr, 0, buf.data(),
                       static_cast<DWORD>(buf.size()), &got, nullptr) ||
      got < sizeof(DWORD)) {
    return true;
  }
  DWORD tag;
  std::memcpy(&tag, buf.data(), sizeof tag);
  return IsReparseTagNameSurrogate(tag);
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

// Opens for writing without following a link at the name: the name itself is opened
// (FILE_FLAG_OPEN_REPARSE_POINT) and refused when it is a link, a dangling one included.
// Checking the opened handle, not the name beforehand, leaves no moment in which a link
// could be put in place between the check and the use. A reparse point that is no link
// is opened again normally, so that its file system filter serves it, and kept only when
// that second handle is the same file.
KernelHandle OpenForWriting(const std::string& path, DWORD access, DWORD disposition) {
  KernelHandle h = OpenHandle(path, access, disposition, FILE_FLAG_OPEN_REPARSE_POINT);
  if (!h) return h;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h.get(), &info)) return Refuse(std::move(h), GetLastError());
  if (!(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return h;
  if (IsLink(h.get())) return Refuse(std::move(h), ERROR_ACCESS_DENIED);
  KernelHandle served = OpenHandle(path, access, OPEN_EXISTING, 0);
  BY_HANDLE_FILE_INFORMATION again;
  bool same = served && GetFileInformationByHandle(served.get(), &again) && SameFile(info, again);
  h.reset();
  if (!same && served) return Refuse(std::move(served), ERROR_ACCESS_DENIED);
  return served;
}

// Opens path as a regular disk file: a device ("NUL", "CON"), a pipe or a directory is
// refused. Writing modes go through OpenForWriting; "w" empties the file only once it is
// known to be a regular file of its own.
KernelHandle OpenRegularHandle(const std::string& path, const OpenMode& m) {
  DWORD access = (m.read ? GENERIC_READ : 0) | (m.write ? GENERIC_WRITE : 0);
  DWORD disposition = m.create ? OPEN_ALWAYS : OPEN_EXISTING;
  KernelHandle h = m.write ? OpenForWriting(path, access, disposition)
                           : OpenHandle(path, access, disposition, 0);
  if (!h) return h;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(h.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(h.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return Refuse(std::move(h), ERROR_ACCESS_DENIED);
  }
  if (m.truncate && !SetEndOfFile(h.get())) return Refuse(std::move(h), GetLastError());
  return h;
}

FILE* OpenRegularFile(const std::string& path, const char* mode) {
  OpenMode m;
  if (!ParseOpenMode(mode, &m)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  KernelHandle h = OpenRegularHandle(path, m);
  if (!h) return nullptr;
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h.get()), m.append ? _O_APPEND : 0);
  if (fd == -1) return nullptr;  // h closes the handle
  h.release();                   // the descriptor owns it now
  _setmode(fd, _O_BINARY);
  FILE* f = _fdopen(fd, mode);
  if (!f) _close(fd);
  return f;
}

}  // namespace

bool File::Open(const std::string& path, const char* mode) {
  Close();
  f_ = OpenRegularFile(path, mode);
  return f_ != nullptr;
}

bool File::Sync() {
  if (!f_ || std::fflush(f_) != 0) return false;
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f_)));
  return h != INVALID_HANDLE_VALUE && FlushFileBuffers(h) != 0;
}

bool File::StartSync() {
  // Windows writes a file's cached data back on its own; only FlushFileBuffers waits.
  return f_ && std::fflush(f_) == 0;
}

bool GetFileStatus(const std::string& path, FileStatus* out) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) return false;
  out->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  out->mtime =
      static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                           data.ftLastWriteTime.dwLowDateTime);
  out->is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

bool RemoveFile(const std::string& path) {
  return DeleteFileW(WidePath(path).c_str()) != 0;
}

namespace {

// Runs a replacing rename until it succeeds, retrying for about a second while another
// process (a virus scanner, an indexer) holds one of the files open.
template <typename Replace>
bool RetryWhileInUse(Replace&& replace) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (replace()) return true;
    DWORD err = GetLastError();
    if (err != ERROR_SHARING_VIOLATION && err != ERROR_ACCESS_DENIED && err != ERROR_LOCK_VIOLATION)
      return false;
    SleepMillis(50);
  }
  return false;
}

}  // namespace

// A file open here (without FILE_SHARE_DELETE) would keep its name from being replaced:
// nothing is held.
HeldFile::HeldFile(const std::string&) {}

void HeldFile::Release() {
  fd_ = -1;
}

bool RenameReplace(const std::string& from, const std::string& to) {
  return RetryWhileInUse([&] {
    return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  });
}

bool ReplaceKeepingAttributes(const std::string& from, const std::string& to) {
  DWORD attributes = GetFileAttributesW(WidePath(to).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return RenameReplace(from, to);
  // The replaced file lends the replacement its attributes, ACL and creation time. The
  // attributes are set once more where the system's ReplaceFileW leaves them out (Wine).
  if (!RetryWhileInUse([&] {
        return ReplaceFileW(WidePath(to).c_str(), WidePath(from).c_str(), nullptr,
                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
      })) {
    return false;
  }
  if (GetFileAttributesW(WidePath(to).c_str()) != attributes) {
    SetFileAttributesW(WidePath(to).c_str(), attributes);
  }
  return true;
}

// Renames write through already (MOVEFILE_WRITE_THROUGH). Flushing a directory handle
// commits the rest (deletes) where the file system allows it; FAT and many shares do not,
// and then the names stay as the system keeps them.
bool SyncDirectory(const std::string& path) {
  KernelHandle h(CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (h) FlushFileBuffers(h.get());
  return true;
}

bool MakeDirectory(const std::string& path) {
  return CreateDirectoryW(WidePath(path).c_str(), nullptr) != 0;
}

void SleepMillis(unsigned ms) {
  Sleep(ms);
}

bool File::ReadAt(uint64_t offset, void* dst, size_t n) const {
  if (!f_) return false;
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f_)));
  if (h == INVALID_HANDLE_VALUE) return false;
  auto* p = static_cast<char*>(dst);
  while (n > 0) {
    // An offset in the OVERLAPPED reads a synchronous handle at it (and moves its pointer).
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD want = n > (DWORD{1} << 30) ? (DWORD{1} << 30) : static_cast<DWORD>(n);
    DWORD got = 0;
    if (!ReadFile(h, p, want, &got, &at) || got == 0) return false;
    p += got;
    n -= got;
    offset += got;
  }
  return true;
}

}  // namespace platform
