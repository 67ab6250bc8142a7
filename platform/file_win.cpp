// File status and file-system operations on Windows.
#include <windows.h>

#include "platform/file.h"

namespace platform {

bool GetFileStatus(const std::string& path, FileStatus* out) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  out->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  out->mtime = static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                    data.ftLastWriteTime.dwLowDateTime);
  out->is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool RenameReplace(const std::string& from, const std::string& to) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    DWORD err = GetLastError();
    if (err != ERROR_SHARING_VIOLATION && err != ERROR_ACCESS_DENIED && err != ERROR_LOCK_VIOLATION)
      return false;
    SleepMillis(50);
  }
  return false;
}

bool MakeDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

void SleepMillis(unsigned ms) { Sleep(ms); }

}  // namespace platform
