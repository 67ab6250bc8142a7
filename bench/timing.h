// Small helpers shared by the benchmark programs: timing and peak memory.
#pragma once

#include <sys/resource.h>

#include <chrono>

namespace bench {

inline double NowSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

inline long PeakRssKb() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

}  // namespace bench
