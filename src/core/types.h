// Small records every layer passes around: a cell, a scored candidate cell, a move of the
// game record.
#pragma once

#include <cstdint>

#include "core/constants.h"
#include "core/relaxed.h"

namespace zerin {

struct MovePoint {
  int32_t x;
  int32_t y;
};

// A cell with a score: candidate moves, threat cells, lines of play (whose entry 0 holds
// the line's length in its score).
struct Candidate {
  int32_t score;
  int16_t x;
  int16_t y;
};

struct MoveRecord {
  int32_t x;
  int32_t y;
  int32_t colour;  // 1 at even places of the record, 2 at odd places
};

// Cells the controller blocked with zrblock, [x][y]; 1 = blocked. Searches read it while
// the command thread may write it, hence relaxed atomics.
struct BlockGrid {
  Relaxed<int32_t> cells[MAX_SIDE][MAX_SIDE];

  bool blocked(int x, int y) const { return cells[x][y] != 0; }
};

}  // namespace zerin
