// Small helpers shared by the benchmark programs: timing, percentiles, peak memory.
#pragma once

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace bench {

inline double NowSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The p-th percentile (0-100) of the samples, nearest rank.
inline double Percentile(std::vector<double> samples, double p) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  size_t rank = static_cast<size_t>(p / 100.0 * (samples.size() - 1) + 0.5);
  return samples[std::min(rank, samples.size() - 1)];
}

inline long PeakRssKb() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

}  // namespace bench
