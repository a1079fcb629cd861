// The game as the controller tells it: board size, the moves in order, the cells the
// controller has blocked, and the position built from the record for the rule in force.
// The command thread changes it while no search runs; the search thread's drivers read
// it, and record their own move, while they run.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "core/constants.h"
#include "core/types.h"

namespace zerin {

struct SearchWorker;

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
extern BlockGrid block_grid;
// The record replayed onto an empty board (plus blocked stones from BOARD), once built.
extern Board position;

inline bool position_built() { return game.built != 0; }

bool in_board(int x, int y);
// Whether a game of width by height can be played (1 to 24 each way).
bool valid_size(int width, int height);
// A new game of width by height (a valid size): an empty record, the position not built,
// the hash tables ready. Writes nothing but a hash-size message.
void new_game(int width, int height);
// A new game of the same size.
void restart_record();
// Append a move, checked against the position once it is built; a refusal writes
// "ERROR my move [x,y]" or "ERROR opponents's move [x,y]".
void record_own_move(int x, int y);
void record_opponent_move(int x, int y);
void refuse_own_move(int x, int y);
void place_blocked_stone(int x, int y);
bool take_back(int x, int y);
void block_cell(int x, int y);
void clear_block_grid();

// Brings the position in line with the rule in force: builds the tables, resets the
// position and the worker's search state, replays the record, writes the rule line. Run
// by every driver before it searches.
void apply_rule(SearchWorker& w);
// zrshowforbid: under Renju, "FORBID " and black's forbidden points.
void show_forbidden(SearchWorker& w);

// A cell the drivers may choose: empty and not blocked by zrblock.
inline bool free_cell(int x, int y) { return position.cells[x][y] == EMPTY && !block_grid.blocked(x, y); }

}  // namespace zerin
