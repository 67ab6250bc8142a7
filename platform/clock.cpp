// Clocks, on top of the standard library.
#include "platform/clock.h"

#include <chrono>

namespace platform {

WallTime NowWall() {
  using namespace std::chrono;
  auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  WallTime t;
  t.seconds = ms / 1000;
  t.millis = static_cast<int>(ms % 1000);
  return t;
}

uint64_t MonotonicMillis() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool LocalTime(std::time_t t, std::tm* out) {
#ifdef _WIN32
  return localtime_s(out, &t) == 0;
#else
  return localtime_r(&t, out) != nullptr;
#endif
}

}  // namespace platform
