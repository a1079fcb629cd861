// Shared set-up for the board and bookkeeping tests, and views of the position worked
// out from the cells alone, against which the line words and the bookkeeping are checked.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "board/board.h"
#include "board/bookkeeping.h"
#include "board/patterns.h"
#include "protocol/game_record.h"

namespace zerin_test {

using namespace zerin;

// Builds the tables and an empty position for a width by height board under a rule, and
// puts the process-wide board settings back to their defaults afterwards.
class BoardFixture : public ::testing::Test {
 protected:
  void SetUpBoard(int width, int height, int rule) {
    game.width = width;
    game.height = height;
    game.board_size = width > height ? width : height;
    board_rule = rule;
    pattern_radius = rule == 0 ? 4 : 5;
    build_game_tables();
    reset_board();
  }

  void TearDown() override {
    game.width = 0;
    game.height = 0;
    game.board_size = 15;
    board_rule = 0;
    pattern_radius = 4;
  }
};

// On the n by n square the board works on (rectangular padding included).
inline bool on_square(int x, int y) {
  const int n = game.board_size;
  return x >= 0 && x < n && y >= 0 && y < n;
}

inline bool is_own(int x, int y, int player) { return on_board(x, y) && board.cells[x][y] == player; }

// The 9-cell window around (x, y) along direction d, gathered from the cells: the first
// cell off the square on each side is the border (3), anything beyond it is 0.
inline int window_from_cells(int d, int x, int y) {
  int w = 0;
  for (int side = -1; side <= 1; side += 2) {
    bool past_border = false;
    for (int i = 1; i <= 4; ++i) {
      const int cx = x + side * i * DIR_DX[d], cy = y + side * i * DIR_DY[d];
      int code = 0;
      if (on_square(cx, cy)) {
        code = board.cells[cx][cy];
      } else if (!past_border) {
        code = 3;
        past_border = true;
      }
      w |= code << (2 * (4 + side * i));
    }
  }
  return w | board.cells[x][y] << 8;
}

inline int window_from_word(int d, int x, int y) {
  const uint64_t word = board.lines[d][line_word(d, x, y)];
  return static_cast<int>((word >> (2 * line_position(d, x, y))) & 0x3FFFF);
}

// Length of the run of the player's stones through (x, y) along d, counting (x, y) itself
// as the player's and, when (fx, fy) is on the board, that cell too.
inline int run_length(int x, int y, int d, int player, int fx = -100, int fy = -100) {
  auto own = [&](int cx, int cy) { return (cx == x && cy == y) || (cx == fx && cy == fy) || is_own(cx, cy, player); };
  int length = 1;
  for (int side = -1; side <= 1; side += 2)
    for (int i = 1; own(x + side * i * DIR_DX[d], y + side * i * DIR_DY[d]); ++i) ++length;
  return length;
}

// The code a stone of player on the empty cell (x, y) really has along d under the rule,
// given what the 9-cell window says: a window five that is part of a longer run is an
// overline, and an open four one of whose completions would give six or more is just a
// four. Only the first player under rules 1 and 2 and the second player under rule 1 are
// judged this way; the others keep the window's code.
inline int judged_code(int x, int y, int d, int player, int window_code) {
  const bool judged = player == 1 ? board_rule != 0 : board_rule == 1;
  if (!judged) return window_code;
  if (window_code == SHAPE_FIVE && run_length(x, y, d, player) > 5) return SHAPE_OVERLINE;
  if (window_code == SHAPE_OPEN_FOUR) {
    // Count the empty cells that join the four and turn it into exactly five.
    const int four = run_length(x, y, d, player);
    int exact_fives = 0;
    for (int i = -5; i <= 5; ++i) {
      const int cx = x + i * DIR_DX[d], cy = y + i * DIR_DY[d];
      if (i == 0 || !on_board(cx, cy) || board.cells[cx][cy] != 0) continue;
      const int joined = run_length(x, y, d, player, cx, cy);
      if (joined > four && joined == 5) ++exact_fives;
    }
    if (exact_fives < 2) return SHAPE_FOUR;
  }
  return window_code;
}

// The code and room reset_board gives a cell of the n by n square, worked out from the
// cell's place on the square.
inline int start_code(int d, int x, int y, int n) {
  const bool x_inner = x > 0 && x < n - 1, y_inner = y > 0 && y < n - 1;
  return d == 0 ? y_inner : d == 1 ? x_inner : x_inner && y_inner;
}

inline int start_room(int d, int x, int y, int n) {
  if (d <= 1) {
    const int v = d == 0 ? y : x;
    return v < 4 ? v + 4 : v >= n - 4 ? n - v + 3 : 8;
  }
  int room = 0;
  for (int side = -1; side <= 1; side += 2)
    for (int i = 1; i <= 4 && on_square(x + side * i * DIR_DX[d], y + side * i * DIR_DY[d]); ++i) ++room;
  return room;
}

// reset_board's code, which the diagonals drop to 0 where the room is below 5.
inline int start_code_with_room(int d, int x, int y, int n) {
  return d >= 2 && start_room(d, x, y, n) < 5 ? 0 : start_code(d, x, y, n);
}

// Places a game given as "x,y;x,y;..." with alternating colours, the first player first.
inline void place_game(const char* moves) {
  int colour = 1;
  for (const char* p = moves; *p;) {
    int x = 0, y = 0;
    while (*p >= '0' && *p <= '9') x = x * 10 + (*p++ - '0');
    ++p;  // ','
    while (*p >= '0' && *p <= '9') y = y * 10 + (*p++ - '0');
    if (*p == ';') ++p;
    place_stone(x, y, colour);
    colour ^= 3;
  }
}

// Everything place/remove must restore exactly.
struct PositionSnapshot {
  int cells[MAX_SIDE][MAX_SIDE];
  uint64_t lines[4][LINE_WORDS];
  uint64_t hash_key;
  int move_count;
  PlacedStone moves[MAX_CELLS];

  static PositionSnapshot take() {
    PositionSnapshot s;
    std::memcpy(s.cells, board.cells, sizeof s.cells);
    std::memcpy(s.lines, board.lines, sizeof s.lines);
    s.hash_key = board.hash_key;
    s.move_count = board.move_count;
    std::memcpy(s.moves, board.move_list, sizeof s.moves);
    return s;
  }

  // Empty string when the board matches, otherwise what differs first.
  std::string difference() const {
    for (int x = 0; x < MAX_SIDE; ++x)
      for (int y = 0; y < MAX_SIDE; ++y)
        if (cells[x][y] != board.cells[x][y]) return "cell " + std::to_string(x) + "," + std::to_string(y);
    for (int d = 0; d < 4; ++d)
      for (int w = 0; w < LINE_WORDS; ++w)
        if (lines[d][w] != board.lines[d][w]) return "line word " + std::to_string(d) + "/" + std::to_string(w);
    if (hash_key != board.hash_key) return "hash key";
    if (move_count != board.move_count) return "move count";
    for (int i = 0; i < move_count; ++i)
      if (moves[i].x != board.move_list[i].x || moves[i].y != board.move_list[i].y)
        return "move list entry " + std::to_string(i);
    return "";
  }
};

}  // namespace zerin_test
