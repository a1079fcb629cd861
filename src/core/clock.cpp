#include "core/clock.h"

#include <chrono>

namespace zerin {

namespace {

const std::chrono::steady_clock::time_point process_start = std::chrono::steady_clock::now();

}  // namespace

int32_t clock_ms() {
  const auto now = std::chrono::steady_clock::now();
  return static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now - process_start).count());
}

}  // namespace zerin
