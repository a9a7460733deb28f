#pragma once
// Figures of the benchmarks, written without the C locale.
#include <algorithm>
#include <chrono>
#include <functional>
#include <string>

namespace zelk::bench {

inline double millisSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// The milliseconds one run of f takes.
inline double millis(const std::function<void()>& f) {
  auto t0 = std::chrono::steady_clock::now();
  f();
  return millisSince(t0);
}

// The best of repeats runs of f, in milliseconds.
inline double bestMillis(int repeats, const std::function<void()>& f) {
  double best = millis(f);
  for (int i = 1; i < repeats; ++i) best = std::min(best, millis(f));
  return best;
}

}  // namespace zelk::bench
