// Never-waiting byte-range locks on a file: exclusive or shared, one byte at a time. A
// lock excludes every other descriptor of the file, also one of the same process, and
// goes away with the process. They hold between machines on network shares as well.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class ByteLock {
 public:
  ByteLock() = default;
  ~ByteLock() { Close(); }
  ByteLock(const ByteLock&) = delete;
  ByteLock& operator=(const ByteLock&) = delete;

  // Opens the file, creating it empty when missing, shared for reading and writing.
  // A symbolic link (or reparse point) at the name is refused.
  bool Open(const std::string& path);
  // Opens an existing file for reading only, enough for shared locks: for readers of a
  // directory they cannot write to.
  bool OpenExisting(const std::string& path);
  // One try to lock byte 0 exclusively; false when another descriptor holds it.
  bool TryLock() { return TryLockByte(0, false); }
  // Releases byte 0; no effect when this descriptor holds no lock there.
  void Unlock() { UnlockByte(0); }
  // One try to lock one byte, exclusively or shared; false when another descriptor holds
  // a lock there that conflicts (any lock, for an exclusive one).
  bool TryLockByte(uint32_t offset, bool shared);
  void UnlockByte(uint32_t offset);
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
