// Positions and a clean search context for the search tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>

#include "board/board.h"
#include "board/hash_tables.h"
#include "control/context.h"
#include "control/limits.h"
#include "control/search_thread.h"
#include "protocol/game_record.h"
#include "protocol/settings.h"

namespace zerin::testing {

struct Stone {
  int x, y, who;
};

// An empty width by height board built for rule, with small hash tables, default
// search settings and a fresh decision context.
inline void new_board(int rule, int width = 15, int height = 15) {
  settings.rule = rule;
  settings.caution_factor = 1;
  settings.show_detail = 0;
  settings.max_node = 2000000000;
  game.width = width;
  game.height = height;
  game.board_size = width > height ? width : height;
  game.count = 0;
  game.applied_rule = rule;
  clear_block_grid();
  board_rule = rule;
  pattern_radius = rule == 0 ? 4 : 5;
  trans_buckets = threat_buckets = 4096;
  build_game_tables();
  reset_board();
  stop_flag = 0;
  abort_flag = 0;
  node_count = expanded_count = 0;
  tried_sum = 0.0;
  min_remaining_depth = 0;
  sole_candidate = 0;
  best_move = {-1, -1};
  turn_limit = 1000000000;
  decision_start = clock_ms();
}

// Places the stones and records them as moves of the game.
inline void put(std::initializer_list<Stone> stones) {
  for (const Stone& s : stones) {
    place_stone(s.x, s.y, s.who);
    game.moves[game.count++] = MoveRecord{s.x, s.y, s.who};
  }
}

class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override { new_board(0); }
  void TearDown() override {
    clear_block_grid();
    settings.rule = 0;
    settings.caution_factor = 1;
    settings.show_detail = 0;
    settings.max_node = 2000000000;
    game.count = 0;
  }
};

}  // namespace zerin::testing
