#include "board/board.h"

#include <cstring>

#include "board/bookkeeping.h"
#include "board/hash_tables.h"
#include "board/patterns.h"
#include "control/context.h"

namespace zerin {

Board board;
int pattern_radius = 4;
int board_rule = 0;
uint8_t anti_pos[MAX_SIDE][MAX_SIDE];
uint8_t diag_pos[MAX_SIDE][MAX_SIDE];
uint64_t zobrist_keys[MAX_CELLS][3];
uint8_t bit_index_table[32769];
uint8_t popcount_table[32769];

namespace {

thread_local uint32_t rand_state = 1;

inline uint64_t code_bits(int who, int position) {
  return static_cast<uint64_t>(who) << (2 * position + 8);
}

// Length of line `word` of family d on the n by n square.
int line_length(int d, int word, int n) {
  if (d <= 1) return n;
  if (d == 2) return (word < 2 * n - 2 - word ? word : 2 * n - 2 - word) + 1;
  return n - (word > n ? word - n : n - word);
}

template <bool LIGHT>
inline void run_update(int d, int x, int y) {
  if (LIGHT)
    update_line_light(d, x, y);
  else
    update_line(d, x, y);
}

template <bool LIGHT>
void put_stone(int x, int y, int who) {
  board.cells[x][y] = who;
  for (int d = 0; d < 4; ++d) {
    board.lines[d][line_word(d, x, y)] |= code_bits(who, line_position(d, x, y));
    run_update<LIGHT>(d, x, y);
  }
  board.hash_key ^= zobrist_keys[x * MAX_SIDE + y][who - 1];
  if (who != 3) board.move_list[board.move_count++] = PlacedStone{x, y};
}

template <bool LIGHT>
void take_stone(int x, int y, int who) {
  board.cells[x][y] = 0;
  for (int d = 0; d < 4; ++d) {
    board.lines[d][line_word(d, x, y)] &= ~code_bits(3, line_position(d, x, y));
    run_update<LIGHT>(d, x, y);
  }
  board.hash_key ^= zobrist_keys[x * MAX_SIDE + y][who - 1];
  if (who != 3) --board.move_count;
}

}  // namespace

uint32_t engine_rand() {
  rand_state = rand_state * 214013u + 2531011u;
  return (rand_state >> 16) & 0x7FFF;
}

void generate_zobrist_keys() {
  for (int cell = 0; cell < MAX_CELLS; ++cell)
    for (int code = 0; code < 3; ++code) {
      uint64_t key = engine_rand();
      for (int i = 0; i < 4; ++i) key = (key << 15) ^ engine_rand();
      zobrist_keys[cell][code] = key;
    }
}

void build_game_tables() {
  const int n = game.board_size;
  build_pattern_tables();
  generate_zobrist_keys();
  for (int x = 0; x < n; ++x)
    for (int y = 0; y < n; ++y) {
      anti_pos[x][y] = static_cast<uint8_t>(y < n - 1 - x ? y : n - 1 - x);
      diag_pos[x][y] = static_cast<uint8_t>(x < y ? x : y);
    }
  std::memset(bit_index_table, 0, sizeof bit_index_table);
  for (int i = 0; i <= 15; ++i) bit_index_table[1 << i] = static_cast<uint8_t>(i);
  std::memset(popcount_table, 0, sizeof popcount_table);
  for (int i = 1; i <= 32768; ++i) popcount_table[i] = static_cast<uint8_t>(popcount_table[i & (i - 1)] + 1);
}

void reset_board() {
  const int n = game.board_size;
  std::memset(board.cells, 0, sizeof board.cells);
  std::memset(board.lines, 0, sizeof board.lines);
  // Border code 3 just before and just after every line.
  for (int w = 0; w < n; ++w) {
    for (int d = 0; d <= 1; ++d) board.lines[d][w] |= code_bits(3, -1) | code_bits(3, n);
  }
  for (int s = 0; s <= 2 * n - 2; ++s)
    board.lines[2][s] |= code_bits(3, -1) | code_bits(3, line_length(2, s, n));
  for (int t = 1; t <= 2 * n - 1; ++t)
    board.lines[3][t] |= code_bits(3, -1) | code_bits(3, line_length(3, t, n));
  resize_hash_tables();
  clear_hash_tables();
  init_empty_bookkeeping();
  board.hash_key = 0;
  board.move_count = 0;
  last_value = 0;
  iteration_depth = 0;
  abort_flag = 0;
  // The evaluation and visit stamps need no clearing: a stamp counts only while it
  // equals its counter, and the counters only grow, so no stamp of an earlier position
  // can ever match again.
  if (game.width != game.height) {
    for (int x = 0; x < n; ++x)
      for (int y = 0; y < n; ++y)
        if (x >= game.height || y >= game.width) place_stone(x, y, 3);
  }
}

void place_stone(int x, int y, int who) { put_stone<false>(x, y, who); }
void remove_stone(int x, int y, int who) { take_stone<false>(x, y, who); }
void place_stone_light(int x, int y, int who) { put_stone<true>(x, y, who); }
void remove_stone_light(int x, int y, int who) { take_stone<true>(x, y, who); }

}  // namespace zerin
