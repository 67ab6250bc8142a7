// Operating-system services of the stand-in library on Windows.
#include <windows.h>

#include <algorithm>

#include "arsim/os.h"

namespace arsim {

const char kPathSep = '\\';

std::string LibraryDirectory() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&LibraryDirectory), &self)) {
    return {};
  }
  char buf[MAX_PATH * 2];
  DWORD n = GetModuleFileNameA(self, buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return {};
  std::string path(buf, n);
  size_t sep = path.find_last_of("\\/");
  return sep == std::string::npos ? std::string(".") : path.substr(0, sep);
}

// The process environment itself, not a C runtime's copy of it: the program and this
// library may not share one runtime.
std::string EnvironmentValue(const char* name) {
  char buf[4096];
  DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return {};
  return std::string(buf, n);
}

bool ListEntries(const std::string& dir, std::vector<std::string>* names) {
  names->clear();
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names->push_back(name);
  } while (FindNextFileA(h, &found));
  FindClose(h);
  std::sort(names->begin(), names->end());
  return true;
}

}  // namespace arsim
