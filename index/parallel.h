// Work shared out over a few threads of the build.
#pragma once

#include <cstddef>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace norvel {

// Joins a thread, if it was started, when the scope that started it ends, however it ends:
// a joinable std::thread destroyed unjoined ends the program.
class JoinOnExit {
 public:
  explicit JoinOnExit(std::thread& t) : t_(t) {}
  ~JoinOnExit() {
    if (t_.joinable()) t_.join();
  }
  JoinOnExit(const JoinOnExit&) = delete;
  JoinOnExit& operator=(const JoinOnExit&) = delete;

 private:
  std::thread& t_;
};

// Runs f(t) for every t in [0, count), each on a thread of its own, the calling thread
// taking t = 0; returns when all are done. Where a thread cannot be started, the calling
// thread runs the shares left over itself. f must not throw.
template <typename F>
void OnThreads(size_t count, F&& f) {
  std::vector<std::thread> helpers;
  size_t t = 1;
  try {
    helpers.reserve(count);
  } catch (const std::bad_alloc&) {
    t = count;  // no helpers: every share on the calling thread
  }
  for (; t < count; ++t) {
    try {
      helpers.emplace_back([&f, t] { f(t); });
    } catch (const std::system_error&) {
      break;
    } catch (const std::bad_alloc&) {
      break;
    }
  }
  f(0);
  for (size_t u = helpers.size() + 1; u < count; ++u) f(u);
  for (std::thread& h : helpers) h.join();
}

}  // namespace norvel
