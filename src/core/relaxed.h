// A word shared between the command thread and the search thread without a lock.
// Both threads only need single-word loads and stores, so relaxed atomics suffice.
#pragma once

#include <atomic>

namespace zerin {

template <typename T>
struct Relaxed {
  std::atomic<T> word;

  constexpr Relaxed(T v = T()) : word(v) {}
  Relaxed(const Relaxed&) = delete;
  Relaxed& operator=(const Relaxed&) = delete;

  operator T() const { return word.load(std::memory_order_relaxed); }
  Relaxed& operator=(T v) {
    word.store(v, std::memory_order_relaxed);
    return *this;
  }
};

}  // namespace zerin
