// Shared set-up for the board and bookkeeping tests. The views of the position worked
// out from the cells alone are in bookkeeping_model.h, which the fuzz targets share.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "board/board.h"
#include "board/bookkeeping.h"
#include "board/patterns.h"
#include "protocol/game_record.h"
#include "bookkeeping_model.h"

namespace zerin_test {

using namespace zerin;

// Builds the tables and an empty position for a width by height board under a rule, and
// puts the process-wide board settings back to their defaults afterwards.
class BoardFixture : public ::testing::Test {
 protected:
  void SetUpBoard(int width, int height, int rule) {
    set_board_shape(width, height, rule);
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

}  // namespace zerin_test
