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

// A node left with no move to search (and no draw) counts as lost a little short of a
// loss found at its depth: -(NO_MOVE_LOSS + d).
constexpr int32_t NO_MOVE_LOSS = WIN_VALUE - 2;
// The root keeps its values within +-(ROOT_VALUE_LIMIT + d) at iteration depth d.
constexpr int32_t ROOT_VALUE_LIMIT = WIN_VALUE - 1;

constexpr bool decided(int32_t v) { return v >= DECIDED_BOUND || v <= -DECIDED_BOUND; }

// Values as shown to the user: a decided value reads as +-10000.
constexpr int32_t DISPLAY_LIMIT = 10000;
constexpr int32_t clamp_display(int32_t v) {
  return v > DISPLAY_LIMIT ? DISPLAY_LIMIT : v < -DISPLAY_LIMIT ? -DISPLAY_LIMIT : v;
}

}  // namespace zerin
