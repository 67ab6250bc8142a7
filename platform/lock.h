// An exclusive, never-waiting lock on the first byte of a file. It excludes every other
// descriptor of the file, also one of the same process, and goes away with the process.
#pragma once

#include <string>

namespace platform {

class ByteLock {
 public:
  ByteLock() = default;
  ~ByteLock() { Close(); }
  ByteLock(const ByteLock&) = delete;
  ByteLock& operator=(const ByteLock&) = delete;

  // Opens the file, creating it empty when missing, shared for reading and writing.
  bool Open(const std::string& path);
  // One try to lock byte 0; false when another descriptor holds it.
  bool TryLock();
  // Releases byte 0; no effect when this descriptor holds no lock.
  void Unlock();
  void Close();
  bool is_open() const;

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

}  // namespace platform
