// The game as the controller tells it: board size, the moves in order, the rule the
// position was built for, and the cells the controller has blocked.
#pragma once

#include <cstdint>

#include "core/constants.h"
#include "core/types.h"
#include "core/relaxed.h"

namespace zerin {

struct GameRecord {
  int32_t width = 0;         // bounds y; 0 = no size set yet
  int32_t height = 0;        // bounds x
  int32_t board_size = 15;   // max(width, height)
  int32_t count = 0;         // moves recorded
  MoveRecord moves[MAX_CELLS] = {};
  // Whether the position is built, and for which rule. INFO rule takes any number, -1
  // included, so "not built" is a flag of its own rather than a reserved rule value.
  int32_t built = 0;
  int32_t applied_rule = -1;
  int32_t first_build_pending = 1;  // the first build of the process is charged 200 ms
};

extern GameRecord game;

// Cells the controller blocked with zrblock, [x][y]; 1 = blocked. The search reads it
// while zrblock may write it, hence relaxed atomics.
extern Relaxed<int32_t> block_grid[MAX_SIDE][MAX_SIDE];

inline bool position_built() { return game.built != 0; }

bool in_board(int x, int y);
// Starts a game of width by height: on a size from 1 to 24 each way, sets it, empties the
// record and greets; otherwise writes the size error and changes nothing.
void start_game(int width, int height);
void restart_game();
void record_own_move(int x, int y);
void record_opponent_move(int x, int y);
void place_blocked_stone(int x, int y);
bool take_back(int x, int y);
void apply_rule();
void show_forbidden();
void block_cell(int x, int y);
void clear_block_grid();

}  // namespace zerin
