// Files and directories for end-to-end tests: a temporary directory per test, copying,
// writing and reading files byte for byte, and where artefacts go.
#pragma once

#include <cstdint>
#include <string>

namespace e2e {

// A new empty directory under the system's temporary directory, removed with everything
// in it (read-only files included) when the object goes away, unless Keep() was called.
class TestDir {
 public:
  explicit TestDir(const std::string& prefix = "e2e");
  ~TestDir();
  TestDir(const TestDir&) = delete;
  TestDir& operator=(const TestDir&) = delete;

  const std::string& path() const { return path_; }
  // path + "\" + name.
  std::string File(const std::string& name) const;
  // Leave the directory behind (to look at after a failure).
  void Keep() { keep_ = true; }

 private:
  std::string path_;
  bool keep_ = false;
};

bool WriteFileBytes(const std::string& path, const std::string& data);
// The whole file; empty when it cannot be read (check FileExists to tell apart).
std::string ReadFileBytes(const std::string& path);
// Copies, replacing the target.
bool CopyFileTo(const std::string& from, const std::string& to);
bool FileExists(const std::string& path);  // a file, not a directory
bool DirectoryExists(const std::string& path);
// Size in bytes, -1 when missing.
int64_t FileSize(const std::string& path);
bool SetReadOnly(const std::string& path, bool read_only);
// Removes a file or a whole directory tree; true when nothing is left.
bool RemoveTree(const std::string& path);
bool MakeDirectories(const std::string& path);

// Directory of the running test program.
std::string ProgramDir();
// A build-time path (forward slashes, Unix or drive form) as a Windows path: "/a/b" is
// read as the Wine drive Z: that maps the Unix root, "C:/a" keeps its drive.
std::string WindowsPath(const std::string& build_path);
// Where screenshots and other artefacts are kept (created when missing): the build's
// e2e-artifacts folder, or the test program's directory when the build named none.
std::string ArtifactsDir();
std::string ArtifactPath(const std::string& name);

}  // namespace e2e
