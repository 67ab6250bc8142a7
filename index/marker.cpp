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

LockResult TryLockFile(const std::string& path, std::unique_ptr<platform::ByteLock>* holder) {
  auto lock = std::make_unique<platform::ByteLock>();
  if (!lock->Open(path)) return LockResult::kCannotOpen;
  if (!lock->TryLock()) return LockResult::kBusy;
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
  return TryLockFile(platform::JoinPath(app_dir, "isndxng.dat"), &g_marker);
}

bool TryLockMarker(const std::string& app_dir) {
  return LockMarker(app_dir) == LockResult::kLocked;
}

LockResult LockIndexWriter(const std::string& index_dir) {
  return TryLockFile(platform::JoinPath(index_dir, kIndexLockFile), &g_index_writer);
}

void UnlockMarker() {
  std::lock_guard<std::mutex> guard(g_marker_mutex);
  Release(&g_marker);
  Release(&g_index_writer);
}

}  // namespace norvel
