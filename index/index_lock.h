// How the writer, the swap and the readers of one index directory keep out of each
// other's way, between threads, processes and machines sharing the directory: byte locks
// on ndxlock.dat in the index directory (byte-range locks hold on network shares too).
//
// - Byte 0, the writer lock: one build, and the swap or discard of what it built, per
//   index directory, whichever application directory it comes from. Taken with the
//   indexing marker and released with it (index/marker.h); it never waits.
// - Byte 1, the swap lock: held exclusively while a swap renames files, and shared by a
//   reader while it loads the index or reads the index files for a query, so a reader
//   sees the old index or the new one, never a mixture. Both wait a short while, since
//   the other side holds it only briefly.
// A process that holds the writer lock reads without the swap lock: only a writer swaps.
//
// Where the file system has no byte-range locks at all (some NAS and FUSE shares), both
// locks are taken as granted, as before they existed, and the log says so once.
#pragma once

#include <string>

#include "platform/lock.h"

namespace norvel {

extern const char kIndexLockFile[];  // "ndxlock.dat"

// Logs, once per process and directory, that the file system of dir has no byte-range
// locks; `which` is "Index" or "Application".
void ReportNoByteLocks(const char* which, const std::string& dir);

// How long a reader or a swap waits for the other side, in milliseconds.
constexpr unsigned kSwapLockWaitMillis = 10000;

// The swap lock, exclusively (a swap) or shared (a reader); released when destroyed.
class SwapLock {
 public:
  SwapLock() = default;
  SwapLock(const SwapLock&) = delete;
  SwapLock& operator=(const SwapLock&) = delete;
  ~SwapLock() { Release(); }

  // Waits up to wait_ms for the lock. A reader in a directory whose lock file cannot be
  // made (it cannot write there, so nobody swaps there either) goes ahead without one,
  // and so does everyone where the file system has no byte-range locks.
  bool AcquireShared(const std::string& index_dir, unsigned wait_ms = kSwapLockWaitMillis);
  bool AcquireExclusive(const std::string& index_dir, unsigned wait_ms = kSwapLockWaitMillis);
  void Release();

 private:
  bool Acquire(const std::string& index_dir, bool shared, unsigned wait_ms);

  platform::ByteLock lock_;
  bool held_ = false;
};

}  // namespace norvel
