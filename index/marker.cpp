// The indexing marker.
#include "index/marker.h"

#include <memory>
#include <mutex>

#include "platform/lock.h"
#include "platform/path.h"

namespace norvel {

namespace {

std::mutex g_marker_mutex;
std::unique_ptr<platform::ByteLock> g_marker;  // the marker descriptor

}  // namespace

bool TryLockMarker(const std::string& app_dir) {
  auto lock = std::make_unique<platform::ByteLock>();
  if (!lock->Open(platform::JoinPath(app_dir, "isndxng.dat")) || !lock->TryLock()) return false;
  std::lock_guard<std::mutex> guard(g_marker_mutex);
  g_marker = std::move(lock);
  return true;
}

void UnlockMarker() {
  std::lock_guard<std::mutex> guard(g_marker_mutex);
  if (!g_marker) return;
  g_marker->Unlock();
  g_marker.reset();
}

}  // namespace norvel
