// What a cell holds, and the two players. The first player is black under Renju; a
// player's stones and the per-player arrays of the bookkeeping use these codes.
#pragma once

namespace zerin {

enum CellCode : int {
  EMPTY = 0,
  BLACK = 1,    // the first player
  WHITE = 2,    // the second player
  BLOCKED = 3,  // outside a rectangular board, blocked by BOARD, or the border code of a line
};

constexpr int opponent(int player) { return player ^ 3; }
// Per-player arrays are indexed by player - 1.
constexpr int player_index(int player) { return player - 1; }

}  // namespace zerin
