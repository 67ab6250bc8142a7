// Symbolic links, FIFOs and the FIFO watchdog on Linux.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "special_files.h"

namespace norvel_test {

bool MakeSymbolicLink(const std::string& target, const std::string& link) {
  return symlink(target.c_str(), link.c_str()) == 0;
}

bool MakeFifo(const std::string& path) {
  return mkfifo(path.c_str(), 0600) == 0;
}

struct FifoWatchdog::State {
  std::string fifo;
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool fired = false;
  int ends[2] = {-1, -1};
  std::thread thread;
};

FifoWatchdog::FifoWatchdog(const std::string& fifo) : state_(new State) {
  state_->fifo = fifo;
  state_->thread = std::thread([s = state_] {
    std::unique_lock<std::mutex> lock(s->mutex);
    if (s->done.wait_for(lock, std::chrono::seconds(60), [s] { return s->finished; })) return;
    s->fired = true;
    // A reader end releases a waiting writer; with it, a writer end can be had at once
    // and releases a waiting reader.
    s->ends[0] = open(s->fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    s->ends[1] = open(s->fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  });
}

FifoWatchdog::~FifoWatchdog() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->finished = true;
  }
  state_->done.notify_all();
  state_->thread.join();
  for (int fd : state_->ends) {
    if (fd >= 0) close(fd);
  }
  delete state_;
}

bool FifoWatchdog::fired() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->fired;
}

}  // namespace norvel_test
