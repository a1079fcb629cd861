// Board set-up shared by the threat-analysis tests.
#pragma once

#include <algorithm>
#include <cstring>

#include "board/board.h"
#include "board/bookkeeping.h"
#include "board/hash_tables.h"
#include "control/context.h"
#include "control/limits.h"
#include "control/search_thread.h"
#include "protocol/game_record.h"
#include "protocol/settings.h"

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
  stop_flag = 0;
  abort_flag = 0;
}

// Stones of a picture whose rows, separated by '/', start at x = x0, x0 + 1, ... and
// whose characters lie at y = y0, y0 + 1, ...: 'X' for player x_player (black unless
// given), 'O' for the other, anything else empty.
inline void draw(int x0, int y0, const char* picture, int x_player = 1) {
  for (int x = x0, y = y0; *picture != '\0'; ++picture, ++y) {
    if (*picture == '/') {
      ++x;
      y = y0 - 1;
    } else if (*picture == 'X' || *picture == 'O') {
      place_stone(x, y, *picture == 'X' ? x_player : x_player ^ 3);
    }
  }
}

// The stones, key and threat sets of kinds 0..3, which a test or a search of the
// position must leave as it found them (the empty-board start codes of cells no stone
// has reached yet may change for good).
struct Snapshot {
  Board position = board;
  ThreatSets sets = threat_sets;

  bool unchanged() const {
    return position.hash_key == board.hash_key && position.move_count == board.move_count &&
           std::memcmp(position.lines, board.lines, sizeof board.lines) == 0 &&
           std::memcmp(sets.dir_mask, threat_sets.dir_mask, sizeof sets.dir_mask) == 0 &&
           std::memcmp(sets.row_mask, threat_sets.row_mask, 4 * sizeof sets.row_mask[0]) == 0 &&
           std::memcmp(sets.set_rows, threat_sets.set_rows, 4 * sizeof sets.set_rows[0]) == 0;
  }
};

}  // namespace threat_test
