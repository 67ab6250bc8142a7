// Clocks: wall time with milliseconds (for the search timing text) and a monotonic
// millisecond counter (for measuring).
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

struct WallTime {
  int64_t seconds = 0;  // since 1970
  int millis = 0;       // 0 to 999
};

WallTime NowWall();
uint64_t MonotonicMillis();
// Local calendar time of a time_t, thread-safe.
bool LocalTime(std::time_t t, std::tm* out);

}  // namespace platform
