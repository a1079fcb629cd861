#include "board/board.h"

#include <cstring>

#include "board/bookkeeping.h"
#include "board/patterns.h"
#include "core/check.h"
#include "core/rules.h"

namespace zerin {

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


inline bool on_square(const Board& b, int x, int y) { return x >= 0 && x < b.size && y >= 0 && y < b.size; }

template <bool LIGHT>
void put_stone(Board& b, int x, int y, int who) {
  expect([&] { return on_square(b, x, y) && who >= BLACK && who <= BLOCKED && b.cells[x][y] == EMPTY; },
         "a stone goes on an empty cell of the board");
  b.cells[x][y] = who;
  for (int d = 0; d < 4; ++d) b.lines[d][line_word(b, d, x, y)] |= code_bits(who, line_position(d, x, y));
  if (LIGHT)
    place_bookkeeping_light(b, x, y, who);
  else
    place_bookkeeping(b, x, y, who);
  b.hash_key ^= zobrist_keys[x * MAX_SIDE + y][who - 1];
  if (who != BLOCKED) b.move_list[b.move_count++] = PlacedStone{x, y};
}

template <bool LIGHT>
void take_stone(Board& b, int x, int y, int who) {
  expect([&] { return on_square(b, x, y) && b.cells[x][y] == who; }, "a stone comes off the cell that holds it");
  expect([&] {
    if (who == BLOCKED) return true;
    return b.move_count > 0 && b.move_list[b.move_count - 1].x == x && b.move_list[b.move_count - 1].y == y;
  }, "stones come off in the reverse order of their placing");
  b.cells[x][y] = EMPTY;
  for (int d = 0; d < 4; ++d) b.lines[d][line_word(b, d, x, y)] &= ~code_bits(BLOCKED, line_position(d, x, y));
  if (LIGHT)
    remove_bookkeeping_light(b, x, y, who);
  else
    remove_bookkeeping(b, x, y, who);
  b.hash_key ^= zobrist_keys[x * MAX_SIDE + y][who - 1];
  if (who != BLOCKED) --b.move_count;
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

void build_game_tables(int n, int rule) {
  build_pattern_tables(rule);
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

void reset_board(Board& b, int width, int height, int rule) {
  const int n = width > height ? width : height;
  b.width = width;
  b.height = height;
  b.size = n;
  b.rule = rule;
  // Radius 5 lets the bookkeeping see the sixth cell of a would-be overline, outside the
  // 9-cell window of the pattern table; free-style has no overlines to see.
  b.pattern_radius = rule == RULE_FREESTYLE ? 4 : 5;
  std::memset(b.cells, 0, sizeof b.cells);
  std::memset(b.lines, 0, sizeof b.lines);
  // Border code 3 just before and just after every line.
  for (int w = 0; w < n; ++w) {
    for (int d = 0; d <= 1; ++d) b.lines[d][w] |= code_bits(BLOCKED, -1) | code_bits(BLOCKED, n);
  }
  for (int s = 0; s <= 2 * n - 2; ++s)
    b.lines[2][s] |= code_bits(BLOCKED, -1) | code_bits(BLOCKED, line_length(2, s, n));
  for (int t = 1; t <= 2 * n - 1; ++t)
    b.lines[3][t] |= code_bits(BLOCKED, -1) | code_bits(BLOCKED, line_length(3, t, n));
  init_empty_bookkeeping(b);
  b.hash_key = 0;
  b.move_count = 0;
  if (width != height) {
    for (int x = 0; x < n; ++x)
      for (int y = 0; y < n; ++y)
        if (x >= height || y >= width) place_stone(b, x, y, BLOCKED);
  }
}

void lift_stone(Board& b, int x, int y, int who) {
  if (who != BLOCKED) {
    // Move the stone to the end of the list, keeping the others in their order.
    int i = b.move_count - 1;
    while (i > 0 && !(b.move_list[i].x == x && b.move_list[i].y == y)) --i;
    for (; i < b.move_count - 1; ++i) b.move_list[i] = b.move_list[i + 1];
    b.move_list[b.move_count - 1] = PlacedStone{x, y};
  }
  remove_stone(b, x, y, who);
}

void place_stone(Board& b, int x, int y, int who) { put_stone<false>(b, x, y, who); }
void remove_stone(Board& b, int x, int y, int who) { take_stone<false>(b, x, y, who); }
void place_stone_light(Board& b, int x, int y, int who) { put_stone<true>(b, x, y, who); }
void remove_stone_light(Board& b, int x, int y, int who) { take_stone<true>(b, x, y, who); }

}  // namespace zerin
