// Precomputed pattern knowledge: the shape a stone would make on a 9-cell window of a
// line, and the correction that combines a cell's four directions into one value.
#pragma once

#include <cstdint>

namespace zerin {

// Shape codes 0..13: 0 nothing, 1..5 twos, 6 closed three, 7 split open three,
// 8 open three, 9 four, 10 four with an open end to its run of three, 11 open four,
// 12 five, 13 overline or a five that does not win under the rule.
enum ShapeCode : int {
  SHAPE_NONE = 0,
  SHAPE_CLOSED_THREE = 6,
  SHAPE_SPLIT_THREE = 7,
  SHAPE_OPEN_THREE = 8,
  SHAPE_FOUR = 9,
  SHAPE_FOUR_OPEN_END = 10,
  SHAPE_OPEN_FOUR = 11,
  SHAPE_FIVE = 12,
  SHAPE_OVERLINE = 13,
};

constexpr int WINDOW_COUNT = 1 << 18;  // 9 cells of 2 bits

// Shape codes from which a line carries at least an open two (for either player).
constexpr int SHAPE_TWO_OR_MORE = 3;

// A cell's value_sum (its four directions' shape values added up) read as what a stone
// there makes: at least a split open three, at least a four, a four with an open two
// beside it, a four with a closed three beside it.
constexpr int VALUE_OPEN_THREE = 158;
constexpr int VALUE_FOUR = 256;
constexpr int VALUE_FOUR_AND_TWO = 262;
constexpr int VALUE_FOUR_AND_THREE = 279;

struct PatternEntry {
  int16_t code[2];  // shape code for player 1, player 2
  int16_t room[2];  // cells of room around the centre, 0..8
};

extern const int16_t shape_value[16];
extern const int16_t combo_weight[16];
extern const int16_t combo_penalty[16];
extern const uint8_t shape_code_table[4][32][5];

extern PatternEntry pattern_table[WINDOW_COUNT];
// The same entries packed into 16 bits for the incremental updates, so that the table
// they read for every cell near a changed stone fits the processor's second-level cache:
// bits 0-3 player 1's code, 4-7 player 2's, 8-11 and 12-15 their rooms.
extern uint16_t packed_patterns[WINDOW_COUNT];
// Whether a window's centre holds a stone (or is blocked). Every such window reads 0, so a
// slot there whose codes are 0 already needs no look at the table.
inline bool stone_centred(uint64_t window) { return (window >> 8 & 3) != 0; }
inline int packed_code(uint16_t entry, int p) { return (entry >> (4 * p)) & 15; }
inline int packed_room(uint16_t entry, int p) { return (entry >> (8 + 4 * p)) & 15; }
extern int16_t combo_table[2][16][16][16][16];

PatternEntry classify_window(int window, int rule);
// Fills pattern_table and both combo tables for the playing rule.
void build_pattern_tables(int rule);

}  // namespace zerin
