// File names on Windows: backslashes, and names that ignore case.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "installer/same_file.h"

namespace norvel {

const char kPathSeparator = '\\';

namespace {

char Folded(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

}  // namespace

bool SameFile(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (Folded(*a) != Folded(*b) && !(IsSeparator(*a) && IsSeparator(*b))) return false;
  }
  return *a == *b;
}

FILE* OpenTargetForWriting(const char* path) {
  // The name itself is opened, not what a reparse point there stands for, and refused
  // when it is one; the file is emptied only once it is known to be a regular file.
  HANDLE h =
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION info;
  const DWORD kNotAFile = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & kNotAFile) || !SetEndOfFile(h)) {
    CloseHandle(h);
    return nullptr;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), 0);
  if (fd == -1) {
    CloseHandle(h);
    return nullptr;
  }
  FILE* f = _fdopen(fd, "wb");
  if (!f) _close(fd);
  return f;
}

}  // namespace norvel
