// The indexing marker: an exclusive, never-waiting lock on the first byte of isndxng.dat
// in the application directory, which keeps builds and swaps of two instances (or two
// jobs of one instance) apart; and beside it the index directory's writer lock (byte 0
// of ndxlock.dat there, index/index_lock.h), which keeps builds of one index directory
// apart whichever application directory they come from. One descriptor of each per
// process; every call is safe from either thread.
#pragma once

#include <string>

namespace norvel {

enum class LockResult {
  kLocked,      // this call obtained the lock
  kBusy,        // another descriptor holds it: another instance, or this one's earlier lock
  kCannotOpen,  // the lock file cannot be opened or created (no such directory, a
                // directory or a link at its name)
};

// Opens isndxng.dat in app_dir (created empty when missing) and tries once to lock its
// first byte; when obtained it becomes the marker descriptor.
LockResult LockMarker(const std::string& app_dir);
// LockMarker, true when it obtained the lock.
bool TryLockMarker(const std::string& app_dir);

// Tries once to take the writer lock of index_dir; held until UnlockMarker.
LockResult LockIndexWriter(const std::string& index_dir);

// Releases the marker and the index directory's writer lock, and closes their
// descriptors; no effect on what is not held.
void UnlockMarker();

}  // namespace norvel
