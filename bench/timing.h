// Small helpers shared by the benchmark programs: timing and peak memory.
#pragma once

#include <sys/resource.h>

#include <chrono>

namespace bench {

inline double NowSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// User and system time of every thread of the process so far: on a busy machine it moves
// far less than the wall time.
inline double CpuSeconds() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

inline long PeakRssKb() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

}  // namespace bench
