// Byte locks on Windows: LockFileEx, which is held per handle.
#include <windows.h>

#include <atomic>

#include "platform/lock.h"

namespace platform {

namespace {

// The lock file is made by us: anything at its name that redirects elsewhere is refused.
bool IsReparsePoint(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

HANDLE OpenLockFile(const std::string& path, DWORD access, DWORD disposition) {
  if (IsReparsePoint(path)) return INVALID_HANDLE_VALUE;
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                     nullptr);
}

std::atomic<LockCallHook> g_hook{nullptr};

OVERLAPPED At(uint32_t offset) {
  OVERLAPPED where = {};
  where.Offset = offset;
  return where;
}

}  // namespace

void SetLockCallForTesting(LockCallHook hook) {
  g_hook = hook;
}

bool ByteLock::Open(const std::string& path) {
  Close();
  HANDLE h = OpenLockFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = h;
  return true;
}

bool ByteLock::OpenExisting(const std::string& path) {
  Close();
  HANDLE h = OpenLockFile(path, GENERIC_READ, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = h;
  return true;
}

bool ByteLock::TryLockByte(uint32_t offset, bool shared) {
  no_locks_ = false;
  if (!handle_) return false;
  LockCall call;
  if (LockCallHook hook = g_hook.load()) {
    call = hook(offset, shared, false);
  } else {
    OVERLAPPED where = At(offset);
    DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (shared ? 0 : LOCKFILE_EXCLUSIVE_LOCK);
    if (LockFileEx(static_cast<HANDLE>(handle_), flags, 0, 1, 0, &where)) {
      call = LockCall::kDone;
    } else {
      DWORD error = GetLastError();
      call = error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION
                 ? LockCall::kUnsupported
                 : LockCall::kConflict;
    }
  }
  no_locks_ = call == LockCall::kUnsupported;
  return call == LockCall::kDone;
}

void ByteLock::UnlockByte(uint32_t offset) {
  if (!handle_) return;
  if (LockCallHook hook = g_hook.load()) {
    hook(offset, false, true);
    return;
  }
  OVERLAPPED where = At(offset);
  UnlockFileEx(static_cast<HANDLE>(handle_), 0, 1, 0, &where);
}

void ByteLock::Close() {
  if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool ByteLock::is_open() const {
  return handle_ != nullptr;
}

}  // namespace platform
