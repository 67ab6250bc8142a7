// Special files for the file layer's tests: symbolic links, FIFOs, and a watchdog that
// turns an open() stuck on a FIFO into a test failure instead of a hung test run.
#pragma once

#include <string>

namespace norvel_test {

// Makes a symbolic link at `link` naming `target` (which need not exist). False where
// this system or this process cannot make one; the test then skips.
bool MakeSymbolicLink(const std::string& target, const std::string& link);

// Makes a FIFO; false where there are none (Windows).
bool MakeFifo(const std::string& path);

// While it lives, a helper thread watches a FIFO: should an open of it still wait for the
// other end after a long grace period, the watchdog opens both ends itself, so the stuck
// open returns and the test fails on what it got. Nothing on Windows.
class FifoWatchdog {
 public:
  explicit FifoWatchdog(const std::string& fifo);
  ~FifoWatchdog();
  FifoWatchdog(const FifoWatchdog&) = delete;
  FifoWatchdog& operator=(const FifoWatchdog&) = delete;
  // True when an open had to be released.
  bool fired() const;

 private:
  struct State;
  State* state_;
};

}  // namespace norvel_test
