// Renju forbidden points of the first player (black).
#pragma once

#include "board/board.h"

namespace zerin {

// 1 when black may not play the empty cell (x, y) under Renju, else 0. Trial stones go
// on b and come off again: the position is unchanged on return.
int is_forbidden(Board& b, int x, int y);

}  // namespace zerin
