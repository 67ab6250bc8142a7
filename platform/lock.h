// Never-waiting byte-range locks on a file: exclusive or shared, one byte at a time. A
// lock excludes every other descriptor of the file, also one of the same process, and
// goes away with the process. They hold between machines on network shares as well.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// What one lock or unlock call of the system answered.
enum class LockCall {
  kDone,
  kConflict,     // another descriptor holds a lock there (or any other refusal)
  kUnsupported,  // the file system has no byte-range locks (some NAS and FUSE shares)
};
// Stands in for the system's lock call of every ByteLock, so that a test can act out a
// file system without byte-range locks; nullptr restores the system's call.
using LockCallHook = LockCall (*)(uint32_t offset, bool shared, bool unlock);
void SetLockCallForTesting(LockCallHook hook);

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
  // a lock there that conflicts (any lock, for an exclusive one), or when the file system
  // has no byte-range locks at all (then no_locks() tells so).
  bool TryLockByte(uint32_t offset, bool shared);
  // True when the last TryLockByte failed because the file system cannot lock at all
  // (ENOLCK or ENOSYS; ERROR_NOT_SUPPORTED or ERROR_INVALID_FUNCTION).
  bool no_locks() const { return no_locks_; }
  void UnlockByte(uint32_t offset);
  void Close();
  bool is_open() const;

 private:
  bool no_locks_ = false;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

}  // namespace platform
