#pragma once
// Waiting in a test for what another thread does: a bound checked by the wait ending,
// with a generous outer limit.
#include <chrono>
#include <thread>

namespace zelk::test {

// Waits until pred holds (10 s at most); answers whether it did.
template <class Pred>
bool waitUntil(Pred pred) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace zelk::test
