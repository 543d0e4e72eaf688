// bench_stats.h: the capture benchmarks' summary of a run of timings, on
// both platforms.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// The q-quantile (0 to 1) of the timings by rank over the sorted values (0 when there are none).
inline double percentile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1))];
}
