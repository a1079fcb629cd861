// Board set-up shared by the threat-analysis tests: an empty board of any size for a
// rule, and stones drawn as small pictures.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

#include "board/board.h"
#include "board/bookkeeping.h"
#include "board/hash_tables.h"
#include "control/context.h"
#include "control/limits.h"
#include "control/search_thread.h"
#include "protocol/game_record.h"
#include "protocol/settings.h"
#include "search/candidate_lists.h"

namespace threat_test {

using namespace zerin;

// An empty width by height board under rule, with small hash tables and limits that
// never stop a search.
inline void new_board(int rule, int width = 15, int height = 15) {
  game.width = width;
  game.height = height;
  game.board_size = std::max(width, height);
  game.count = 0;
  board_rule = rule;
  pattern_radius = rule == 0 ? 4 : 5;
  trans_buckets = threat_buckets = 1024;
  build_game_tables();
  reset_board();
  settings.max_node = 2000000000;
  turn_limit = 1 << 30;
  decision_start = clock_ms();
  node_count = 0;
  min_remaining_depth = 0;
  stop_flag = 0;
  abort_flag = 0;
}

// Places the stones of a picture whose first row is x = x0 and first column y = y0:
// 'X' black (player 1), 'O' white (player 2); any other character leaves the cell.
inline void draw(int x0, int y0, std::initializer_list<const char*> rows) {
  int x = x0;
  for (const char* row : rows) {
    for (int i = 0; row[i] != '\0'; ++i) {
      if (row[i] == 'X') place_stone(x, y0 + i, 1);
      if (row[i] == 'O') place_stone(x, y0 + i, 2);
    }
    ++x;
  }
}

struct Cell {
  int x;
  int y;
};

inline void place_all(std::initializer_list<Cell> cells, int who) {
  for (const Cell& c : cells) place_stone(c.x, c.y, who);
}

// What a search or a test of a cell must leave as it found it.
struct Snapshot {
  Board position;
  ThreatSets sets;

  static Snapshot take() {
    Snapshot s;
    std::memcpy(&s.position, &board, sizeof board);
    std::memcpy(&s.sets, &threat_sets, sizeof threat_sets);
    return s;
  }
  // Cells, key, move list and the threat sets of kinds 0..3 (the empty-board start
  // codes of untouched cells may legitimately change).
  bool unchanged() const {
    if (position.hash_key != board.hash_key || position.move_count != board.move_count) return false;
    if (std::memcmp(position.cells, board.cells, sizeof board.cells) != 0) return false;
    if (std::memcmp(position.lines, board.lines, sizeof board.lines) != 0) return false;
    if (std::memcmp(sets.dir_mask, threat_sets.dir_mask, sizeof sets.dir_mask) != 0) return false;
    for (int k = 0; k < 4; ++k)
      for (int p = 0; p < 2; ++p) {
        if (sets.set_rows[k][p] != threat_sets.set_rows[k][p]) return false;
        if (std::memcmp(sets.row_mask[k][p], threat_sets.row_mask[k][p], sizeof sets.row_mask[k][p]) != 0)
          return false;
      }
    return true;
  }
};

}  // namespace threat_test
