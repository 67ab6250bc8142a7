// Byte lock on Windows: LockFile, which is held per handle.
#include <windows.h>

#include "platform/lock.h"

namespace platform {

bool ByteLock::Open(const std::string& path) {
  Close();
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = h;
  return true;
}

bool ByteLock::TryLock() { return handle_ && LockFile(static_cast<HANDLE>(handle_), 0, 0, 1, 0); }

void ByteLock::Unlock() {
  if (handle_) UnlockFile(static_cast<HANDLE>(handle_), 0, 0, 1, 0);
}

void ByteLock::Close() {
  if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool ByteLock::is_open() const { return handle_ != nullptr; }

}  // namespace platform
