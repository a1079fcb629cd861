// The engine's clock: wall-clock milliseconds since the process started (not processor
// time). Every time limit and every reported time uses it.
#pragma once

#include <cstdint>

namespace zerin {

int32_t clock_ms();

}  // namespace zerin
