// Renju forbidden points of the first player (black).
#pragma once

namespace zerin {

// 1 when black may not play the empty cell (x, y) under Renju, else 0. The position is
// unchanged on return.
int is_forbidden(int x, int y);

}  // namespace zerin
