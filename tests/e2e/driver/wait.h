// Polling waits: every end-to-end check waits for a condition with a generous limit
// instead of sleeping a fixed time, so a slow machine only makes tests slower.
#pragma once

#include <windows.h>

namespace e2e {

// Limit for anything a program should do "at once" (a window appearing, a box opening).
// Generous: Wine on a loaded two-core machine can take seconds to start a process.
constexpr unsigned kDefaultTimeoutMs = 30000;
constexpr unsigned kPollMs = 15;

// Calls pred() until it returns true or timeout_ms have passed; true when it did.
// pred() is tried once more after the limit so a late success still counts.
template <class Pred>
bool WaitUntil(Pred pred, unsigned timeout_ms = kDefaultTimeoutMs, unsigned poll_ms = kPollMs) {
  const DWORD start = GetTickCount();  // unsigned difference survives the 49-day wrap
  for (;;) {
    if (pred()) return true;
    if (GetTickCount() - start >= timeout_ms) return static_cast<bool>(pred());
    Sleep(poll_ms);
  }
}

}  // namespace e2e
