// Test directories and byte-exact file helpers.
#include <windows.h>

#include <vector>

#include "files.h"

namespace e2e {

namespace {

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  char last = dir.back();
  return (last == '\\' || last == '/') ? dir + name : dir + "\\" + name;
}

std::string TempRoot() {
  char buf[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof buf, buf);
  if (n == 0 || n > MAX_PATH) return ".";
  std::string dir(buf, n);
  while (dir.size() > 3 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir;
}

// RAII for a Win32 file handle.
struct Handle {
  HANDLE h;
  explicit Handle(HANDLE handle) : h(handle) {}
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  bool ok() const { return h != INVALID_HANDLE_VALUE; }
};

}  // namespace

TestDir::TestDir(const std::string& prefix) {
  const std::string root = TempRoot();
  for (unsigned attempt = 0;; ++attempt) {
    path_ = Join(root, "norvel-" + prefix + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(GetTickCount()) + "-" + std::to_string(attempt));
    if (CreateDirectoryA(path_.c_str(), nullptr)) return;
    if (GetLastError() != ERROR_ALREADY_EXISTS || attempt > 1000) {
      path_ = root;  // nowhere better; File() still gives usable names
      keep_ = true;
      return;
    }
  }
}

TestDir::~TestDir() {
  if (!keep_) RemoveTree(path_);
}

std::string TestDir::File(const std::string& name) const {
  return Join(path_, name);
}

bool WriteFileBytes(const std::string& path, const std::string& data) {
  Handle f(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f.ok()) return false;
  DWORD written = 0;
  return data.empty() ||
         (WriteFile(f.h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
          written == data.size());
}

std::string ReadFileBytes(const std::string& path) {
  Handle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string data;
  if (!f.ok()) return data;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(f.h, buf, sizeof buf, &got, nullptr) && got > 0) data.append(buf, got);
  return data;
}

bool CopyFileTo(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool FileExists(const std::string& path) {
  DWORD attr = GetFileAttributesA(path.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  DWORD attr = GetFileAttributesA(path.c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return -1;
  }
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool SetReadOnly(const std::string& path, bool read_only) {
  DWORD attr = GetFileAttributesA(path.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES) return false;
  attr = read_only ? (attr | FILE_ATTRIBUTE_READONLY) : (attr & ~FILE_ATTRIBUTE_READONLY);
  return SetFileAttributesA(path.c_str(), attr) != 0;
}

bool RemoveTree(const std::string& path) {
  DWORD attr = GetFileAttributesA(path.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES) return true;
  if (attr & FILE_ATTRIBUTE_READONLY) SetReadOnly(path, false);
  if (!(attr & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileA(path.c_str()) != 0;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(Join(path, "*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name != "." && name != "..") RemoveTree(Join(path, name));
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  return RemoveDirectoryA(path.c_str()) != 0;
}

bool MakeDirectories(const std::string& path) {
  if (path.empty() || DirectoryExists(path)) return true;
  size_t cut = path.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0 && path[cut - 1] != ':') {
    MakeDirectories(path.substr(0, cut));
  }
  return CreateDirectoryA(path.c_str(), nullptr) || DirectoryExists(path);
}

std::string ProgramDir() {
  char buf[MAX_PATH * 2];
  DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
  std::string path(buf, n < sizeof buf ? n : 0);
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? "." : path.substr(0, cut);
}

std::string WindowsPath(const std::string& build_path) {
  std::string p = build_path;
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  if (!p.empty() && p[0] == '\\') p = "Z:" + p;
  return p;
}

std::string ArtifactsDir() {
#ifdef NORVEL_E2E_ARTIFACTS
  std::string dir = WindowsPath(NORVEL_E2E_ARTIFACTS);
#else
  std::string dir = Join(ProgramDir(), "e2e-artifacts");
#endif
  MakeDirectories(dir);
  return dir;
}

std::string ArtifactPath(const std::string& name) {
  return Join(ArtifactsDir(), name);
}

}  // namespace e2e
