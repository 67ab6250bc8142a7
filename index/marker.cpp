// The indexing marker and the index directory's writer lock.
#include "index/marker.h"

#include <memory>
#include <mutex>

#include "index/index_lock.h"
#include "platform/lock.h"
#include "platform/path.h"

namespace norvel {

namespace {

std::mutex g_marker_mutex;
std::unique_ptr<platform::ByteLock> g_marker;        // the marker descriptor
std::unique_ptr<platform::ByteLock> g_index_writer;  // the writer lock's descriptor

// Locks byte 0 of file in dir; `which` names the directory in the log ("Index", ...).
LockResult TryLockFile(const std::string& dir, const char* file, const char* which,
                       std::unique_ptr<platform::ByteLock>* holder) {
  std::string path = platform::JoinPath(dir, file);
  auto lock = std::make_unique<platform::ByteLock>();
  if (!lock->Open(path)) return LockResult::kCannotOpen;
  if (!lock->TryLock()) {
    if (!lock->no_locks()) return LockResult::kBusy;
    // A file system without byte-range locks: this process's own holder still excludes a
    // second taker, as the lock itself would; other processes are not kept out.
    std::lock_guard<std::mutex> guard(g_marker_mutex);
    if (*holder) return LockResult::kBusy;
    ReportNoByteLocks(which, dir);
    *holder = std::move(lock);
    return LockResult::kLocked;
  }
  std::lock_guard<std::mutex> guard(g_marker_mutex);
  *holder = std::move(lock);
  return LockResult::kLocked;
}

void Release(std::unique_ptr<platform::ByteLock>* holder) {
  if (!*holder) return;
  (*holder)->Unlock();
  holder->reset();
}

}  // namespace

LockResult LockMarker(const std::string& app_dir) {
  return TryLockFile(app_dir, "isndxng.dat", "Application", &g_marker);
}

bool TryLockMarker(const std::string& app_dir) {
  return LockMarker(app_dir) == LockResult::kLocked;
}

LockResult LockIndexWriter(const std::string& index_dir) {
  return TryLockFile(index_dir, kIndexLockFile, "Index", &g_index_writer);
}

void UnlockMarker() {
  std::lock_guard<std::mutex> guard(g_marker_mutex);
  Release(&g_marker);
  Release(&g_index_writer);
}

}  // namespace norvel
