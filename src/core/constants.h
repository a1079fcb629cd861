// Sizes and value scale shared by every layer of the engine.
#pragma once

#include <cstdint>

namespace zerin {

constexpr int MAX_SIDE = 24;                    // largest board side
constexpr int MAX_CELLS = MAX_SIDE * MAX_SIDE;  // 576 cells, also the longest game

// Values are int32 from the side to move's point of view.
constexpr int32_t WIN_VALUE = 10000000;      // a win found at remaining depth d is WIN_VALUE + d
constexpr int32_t DECIDED_BOUND = 9998848;   // |v| >= this is a decided game
constexpr int32_t HASH_MISS = 20000000;      // a probe with no usable value
constexpr int32_t NO_VALUE = -1000000000;    // best value not set yet
constexpr int32_t SKIP_SCORE = 1000000000;   // candidate that must not be searched

constexpr bool decided(int32_t v) { return v >= DECIDED_BOUND || v <= -DECIDED_BOUND; }

// Values as shown to the user: a decided value reads as +-10000.
constexpr int32_t clamp_display(int32_t v) { return v > 10000 ? 10000 : v < -10000 ? -10000 : v; }

}  // namespace zerin
