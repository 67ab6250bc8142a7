// The indexing marker: an exclusive, never-waiting lock on the first byte of isndxng.dat
// in the application directory, which keeps builds and swaps of two instances (or two
// jobs of one instance) apart. One marker descriptor per process; both calls are safe
// from either thread.
#pragma once

#include <string>

namespace norvel {

// Opens isndxng.dat in app_dir (created empty when missing) and tries once to lock its
// first byte. True when this call obtained the lock; it then becomes the marker
// descriptor. False when the lock is held by any other descriptor (another instance, or
// this instance's own earlier lock) or the file cannot be opened.
bool TryLockMarker(const std::string& app_dir);

// Releases the lock through the marker descriptor and closes it; no effect without one.
void UnlockMarker();

}  // namespace norvel
