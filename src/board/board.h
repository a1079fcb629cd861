// A position of the engine: cells, packed line words, hash key and move list, the size
// and rule it is built for, and the pattern bookkeeping kept in step with every stone.
// Every change goes through place_stone / remove_stone (or their light twins), in
// strictly nested pairs.
#pragma once

#include <cassert>
#include <cstdint>

#include "board/bookkeeping.h"
#include "board/undo_journal.h"
#include "core/cell.h"
#include "core/constants.h"

namespace zerin {

// Direction steps (dx on x, dy on y): 0 along y, 1 along x, 2 anti-diagonal, 3 diagonal.
constexpr int DIR_DX[4] = {0, 1, -1, 1};
constexpr int DIR_DY[4] = {1, 0, 1, 1};

// Number of words per line family; family 3 (diagonals) uses words 1..2n-1.
constexpr int LINE_WORDS = 49;

struct PlacedStone {
  int x;
  int y;
};

struct Board {
  int cells[MAX_SIDE][MAX_SIDE];  // CellCode: EMPTY, BLACK, WHITE, BLOCKED
  // LineCodes: four families of packed 2-bit cell codes. Position p of a line sits in
  // bits 2p+8 and 2p+9, so a 9-cell window around p is (word >> 2p) & 0x3FFFF.
  uint64_t lines[4][LINE_WORDS];
  uint64_t hash_key;
  PlacedStone move_list[MAX_CELLS];  // stones in placing order; blocked cells never listed
  int move_count;

  // What the position is built for, set by reset_board. height bounds x and width
  // bounds y; size = max(width, height) is the square the lines cover (a rectangular
  // board's padding holds blocked stones).
  int width = 0;
  int height = 0;
  int size = 15;
  int rule = 0;            // the playing rule the pattern tables were built for
  int pattern_radius = 4;  // cells re-examined on each side of a changed cell (4 or 5)

  // Pattern bookkeeping.
  LineReach line_reach[MAX_SIDE][MAX_SIDE][4];        // [x][y][direction], for the size and radius
  ShapeSlot dir_shapes[MAX_SIDE][MAX_SIDE][4];        // [x][y][direction]
  CellSummary cell_summaries[MAX_SIDE][MAX_SIDE][2];  // [x][y][player index]
  int32_t eval_total[2];
  int32_t room_total[2];
  ThreatSets threat_sets;
  UndoJournal journal;
};

extern uint8_t anti_pos[MAX_SIDE][MAX_SIDE];
extern uint8_t diag_pos[MAX_SIDE][MAX_SIDE];
extern uint64_t zobrist_keys[MAX_CELLS][3];
extern uint8_t bit_index_table[32769];
extern uint8_t popcount_table[32769];

// The engine's own pseudo-random generator (one state per thread, never seeded).
uint32_t engine_rand();
void generate_zobrist_keys();

// The tables every board of the game shares: pattern tables for the rule, keys, the
// line geometry of a size by size square, the bit tables.
void build_game_tables(int size, int rule);
// An empty position of width by height under rule (with blocked padding on a rectangular
// board), its bookkeeping at the empty board's values. Touches nothing but b.
void reset_board(Board& b, int width, int height, int rule);
void place_stone(Board& b, int x, int y, int who);
void remove_stone(Board& b, int x, int y, int who);
void place_stone_light(Board& b, int x, int y, int who);
void remove_stone_light(Board& b, int x, int y, int who);
// Takes off a stone that need not be the last one placed (a take-back that names an
// earlier stone), keeping the move list in placing order.
void lift_stone(Board& b, int x, int y, int who);

// Index of the single set bit of mask (bits 0..30).
inline int bit_index(int mask) { return __builtin_ctz(static_cast<unsigned>(mask)); }

// Number of set bits of a mask below 2^30, looked up in two 15-bit parts (the portable
// build has no popcount instruction, and the library call costs more than two loads).
inline int bit_count(uint32_t mask) { return popcount_table[mask & 0x7FFF] + popcount_table[mask >> 15]; }

// Which word of family d holds cell (x, y), and at which position of that word.
inline int line_word(const Board& b, int d, int x, int y) {
  switch (d) {
    case 0: return x;
    case 1: return y;
    case 2: return x + y;
    default: return b.size + x - y;
  }
}

inline int line_position(int d, int x, int y) {
  switch (d) {
    case 0: return y;
    case 1: return x;
    case 2: return anti_pos[x][y];
    default: return diag_pos[x][y];
  }
}

// On the height by width board (a rectangular board's padding is off the board).
inline bool on_board(const Board& b, int x, int y) { return x >= 0 && x < b.height && y >= 0 && y < b.width; }

inline bool holds_stone(const Board& b, int x, int y, int player) {
  return on_board(b, x, y) && b.cells[x][y] == player;
}

// Moves (x, y) to the first cell after it along (dx, dy) that does not hold player's stone.
inline void walk_run(const Board& b, int& x, int& y, int dx, int dy, int player) {
  x += dx;
  y += dy;
  while (holds_stone(b, x, y, player)) {
    x += dx;
    y += dy;
  }
}

}  // namespace zerin
