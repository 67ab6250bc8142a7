// Directory listing on Windows. FindFirstFile also matches 8.3 short names, so every
// name is matched again against the pattern itself.
#include <windows.h>

#include <algorithm>

#include "platform/dir.h"
#include "platform/path.h"

namespace platform {

bool ListDirectory(const std::string& dir, const std::string& pattern,
                   std::vector<std::string>* names) {
  names->clear();
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(JoinPath(dir, "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (WildcardMatch(pattern.c_str(), fd.cFileName)) names->emplace_back(fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  std::sort(names->begin(), names->end());
  return true;
}

}  // namespace platform

namespace platform {

bool RemoveDirectoryTree(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(JoinPath(dir, "*").c_str(), &fd);
  bool ok = true;
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = fd.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = JoinPath(dir, name);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        ok = RemoveDirectoryTree(path) && ok;
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ok = DeleteFileA(path.c_str()) && ok;
      }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  return RemoveDirectoryA(dir.c_str()) && ok;
}

}  // namespace platform
