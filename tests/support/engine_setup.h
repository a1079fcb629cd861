// The set-up every unit test shares: a fresh game position of a given size and rule
// with its tables built, small hash tables, the main worker ready to search it under
// limits that never stop a search, and helpers to put stones on it. EngineTest puts the
// process-wide state (settings, game record, blocked cells, stop flag, decision memory,
// hash tables) back as a fresh process has it after each test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "board/board.h"
#include "board/bookkeeping.h"
#include "board/hash_tables.h"
#include "control/game.h"
#include "control/search_thread.h"
#include "control/think.h"
#include "core/clock.h"
#include "core/settings.h"
#include "search/worker.h"

namespace zerin_test {

using namespace zerin;

// Buckets per hash table in tests: small, so every set-up clears them quickly.
constexpr int32_t TEST_HASH_BUCKETS = 4096;

// The worker the tests search with; its board is the game's position.
inline SearchWorker& worker = main_worker;

// An empty width by height board under rule, the game record of that size and empty,
// default search settings, no blocked cells, cleared hash tables, and the main worker's
// counters cleared with limits that never stop a search.
inline void new_board(int rule, int width = 15, int height = 15) {
  settings.rule = rule;
  settings.caution_factor = 1;
  settings.show_detail = 0;
  settings.max_node = 2000000000;
  game.width = width;
  game.height = height;
  game.board_size = std::max(width, height);
  game.count = 0;
  game.applied_rule = rule;
  clear_block_grid();
  hash_tables.trans_buckets = hash_tables.threat_buckets = TEST_HASH_BUCKETS;
  build_game_tables(game.board_size, rule);
  resize_hash_tables();
  clear_hash_tables();
  reset_board(position, width, height, rule);
  decision_memory.last_value = 0;
  stop_flag = 0;
  worker.clear_counters();
  worker.iteration_depth = 0;
  worker.abort_flag = 0;
  worker.game_moves = 0;
  worker.sole_candidate = 0;
  worker.best_move = {-1, -1};
  worker.turn_limit = 1000000000;
  worker.decision_start = clock_ms();
  worker.limit_test_mask = LIMIT_TEST_INTERVAL - 1;
  worker.prepares_tables = false;
}

struct Stone {
  int x, y, who;
};

// Places the stones and records them as moves of the game (the worker's game_moves
// follows the record, as the drivers set it).
inline void put(std::initializer_list<Stone> stones) {
  for (const Stone& s : stones) {
    place_stone(position, s.x, s.y, s.who);
    game.moves[game.count++] = MoveRecord{s.x, s.y, s.who};
  }
  worker.game_moves = game.count;
}

// Stones of a picture whose rows, separated by '/', start at x = x0, x0 + 1, ... and
// whose characters lie at y = y0, y0 + 1, ...: 'X' for player x_player (black unless
// given), 'O' for the other, anything else empty. Not recorded as moves.
inline void draw(int x0, int y0, const char* picture, int x_player = BLACK) {
  for (int x = x0, y = y0; *picture != '\0'; ++picture, ++y) {
    if (*picture == '/') {
      ++x;
      y = y0 - 1;
    } else if (*picture == 'X' || *picture == 'O') {
      place_stone(position, x, y, *picture == 'X' ? x_player : opponent(x_player));
    }
  }
}

// Places a game given as "x,y;x,y;..." with alternating colours, black first. Not
// recorded as moves.
inline void place_game(const char* moves) {
  int colour = BLACK;
  for (const char* p = moves; *p;) {
    int x = 0, y = 0;
    while (*p >= '0' && *p <= '9') x = x * 10 + (*p++ - '0');
    ++p;  // ','
    while (*p >= '0' && *p <= '9') y = y * 10 + (*p++ - '0');
    if (*p == ';') ++p;
    place_stone(position, x, y, colour);
    colour = opponent(colour);
  }
}

// The stones, key and threat sets of kinds 0..3 of the position, which a test or a
// search must leave as it found them (the empty-board start codes of cells no stone has
// reached yet may change for good).
struct Snapshot {
  Board before = position;

  bool unchanged() const {
    const ThreatSets& was = before.threat_sets;
    const ThreatSets& now = position.threat_sets;
    return before.hash_key == position.hash_key && before.move_count == position.move_count &&
           std::memcmp(before.lines, position.lines, sizeof before.lines) == 0 &&
           std::memcmp(was.dir_mask, now.dir_mask, sizeof was.dir_mask) == 0 &&
           std::memcmp(was.row_mask, now.row_mask, 4 * sizeof was.row_mask[0]) == 0 &&
           std::memcmp(was.set_rows, now.set_rows, 4 * sizeof was.set_rows[0]) == 0;
  }
};

// Every setting at the value a fresh process starts with.
inline void restore_settings() {
  const EngineSettings fresh;
  settings.max_memory = int32_t{fresh.max_memory};
  settings.timeout_match = int32_t{fresh.timeout_match};
  settings.timeout_turn = int32_t{fresh.timeout_turn};
  settings.time_left = int32_t{fresh.time_left};
  settings.game_type = int32_t{fresh.game_type};
  settings.max_depth = int32_t{fresh.max_depth};
  settings.max_node = int32_t{fresh.max_node};
  settings.caution_factor = int32_t{fresh.caution_factor};
  settings.hash_size = int32_t{fresh.hash_size};
  settings.show_detail = int32_t{fresh.show_detail};
  settings.rule = int32_t{fresh.rule};
  settings.swap2_pair = int32_t{fresh.swap2_pair};
  settings.swap2_seed = int32_t{fresh.swap2_seed};
  settings.swap2_margin = int32_t{fresh.swap2_margin};
  settings.swap2_target = int32_t{fresh.swap2_target};
  settings.swap2_book = int32_t{fresh.swap2_book};
  std::memcpy(settings.folder, fresh.folder, sizeof settings.folder);
}

// A free-style 15 by 15 board before each test; afterwards the process-wide state as a
// fresh process has it (with small hash tables allocated).
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { new_board(RULE_FREESTYLE); }

  void TearDown() override {
    restore_settings();
    game = GameRecord{};
    clear_block_grid();
    stop_flag = 0;
    decision_memory = DecisionMemory{};
    worker.clear_counters();
    worker.iteration_depth = 0;
    worker.abort_flag = 0;
    worker.game_moves = 0;
    worker.limit_test_mask = LIMIT_TEST_INTERVAL - 1;
    worker.prepares_tables = false;
    hash_tables.trans_buckets = hash_tables.threat_buckets = TEST_HASH_BUCKETS;
    resize_hash_tables();
    clear_hash_tables();
    hash_tables.requested_buckets = settings.hash_size;
  }
};

}  // namespace zerin_test
