// The swap lock of an index directory.
#include "index/index_lock.h"

#include <mutex>
#include <set>

#include "core/messages.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/path.h"

namespace norvel {

const char kIndexLockFile[] = "ndxlock.dat";

namespace {
constexpr uint32_t kSwapByte = 1;
constexpr unsigned kPollMillis = 10;
}  // namespace

void ReportNoByteLocks(const char* which, const std::string& dir) {
  static std::mutex reported_mutex;
  static std::set<std::string> reported;
  std::lock_guard<std::mutex> guard(reported_mutex);
  if (!reported.insert(std::string(which) + '|' + dir).second) return;
  WriteLog(std::string(which) + " directory has no byte-range locks: " + dir +
           " (working without them).");
}

bool SwapLock::AcquireShared(const std::string& index_dir, unsigned wait_ms) {
  return Acquire(index_dir, true, wait_ms);
}

bool SwapLock::AcquireExclusive(const std::string& index_dir, unsigned wait_ms) {
  return Acquire(index_dir, false, wait_ms);
}

bool SwapLock::Acquire(const std::string& index_dir, bool shared, unsigned wait_ms) {
  Release();
  std::string path = platform::JoinPath(index_dir, kIndexLockFile);
  if (!lock_.Open(path)) {
    if (!shared) return false;
    // A directory this process cannot write to: a lock file there can only come from a
    // writer that can; without one, nobody swaps there.
    if (!lock_.OpenExisting(path)) return !platform::FileExists(path);
  }
  uint64_t deadline = platform::MonotonicMillis() + wait_ms;
  while (!lock_.TryLockByte(kSwapByte, shared)) {
    if (lock_.no_locks()) {
      // Waiting would never end: nothing here can be locked, by anyone.
      ReportNoByteLocks("Index", index_dir);
      lock_.Close();
      return true;
    }
    if (platform::MonotonicMillis() >= deadline) {
      lock_.Close();
      return false;
    }
    platform::SleepMillis(kPollMillis);
  }
  held_ = true;
  return true;
}

void SwapLock::Release() {
  if (held_) lock_.UnlockByte(kSwapByte);
  held_ = false;
  lock_.Close();
}

}  // namespace norvel
