#include "control/game.h"

#include <algorithm>

#include "board/hash_tables.h"
#include "control/helpers.h"
#include "control/limits.h"
#include "control/search_thread.h"
#include "control/think.h"
#include "core/output.h"
#include "core/settings.h"
#include "search/worker.h"
#include "threats/forbidden.h"

namespace zerin {

GameRecord game;
BlockGrid block_grid;
Board position;

namespace {

constexpr const char* OWN_MOVE_ERROR = "ERROR my move [%d,%d]";
constexpr const char* OPPONENT_MOVE_ERROR = "ERROR opponents's move [%d,%d]";
// Thinking time the first search of a process is charged for its table build.
constexpr int32_t FIRST_BUILD_CHARGE_MS = 200;

// Appends a move, checked against the position once it is built.
void record_move(int x, int y, const char* error_format) {
  if (game.count >= MAX_CELLS) {  // the record is full: nothing more can be stored
    log_line(error_format, x, y);
    return;
  }
  const int colour = game.count % 2 + 1;
  if (position_built()) {
    if (!on_board(position, x, y) || position.cells[x][y] != EMPTY) {
      log_line(error_format, x, y);
      return;
    }
    place_stone(position, x, y, colour);
  }
  game.moves[game.count] = MoveRecord{x, y, colour};
  ++game.count;
}

// Builds the tables for rule, empties the position and replays the record onto it; the
// worker's search starts afresh. A cell recorded twice while the position was not built
// is placed once only.
void rebuild_position(SearchWorker& w, int rule) {
  apply_memory_plan(announce_memory_plan());
  build_game_tables(game.board_size, rule);
  want_hash_clear();  // done by prepare_memory_for_search, or while idle
  reset_board(position, game.width, game.height, rule);
  w.iteration_depth = 0;
  w.abort_flag = 0;
  decision_memory.last_value = 0;
  for (int i = 0; i < game.count; ++i) {
    const MoveRecord& m = game.moves[i];
    if (on_board(position, m.x, m.y) && position.cells[m.x][m.y] == EMPTY) place_stone(position, m.x, m.y, m.colour);
  }
  game.applied_rule = rule;
  game.built = 1;
}

bool recorded_in_game(int x, int y) {
  for (int i = 0; i < game.count; ++i)
    if (game.moves[i].x == x && game.moves[i].y == y) return true;
  return false;
}

}  // namespace

bool in_board(int x, int y) { return x >= 0 && x < game.height && y >= 0 && y < game.width; }

// A side below 1 is refused like one above 24: a size of 0 would read as "no size set".
bool valid_size(int width, int height) { return width >= 1 && width <= MAX_SIDE && height >= 1 && height <= MAX_SIDE; }

void new_game(int width, int height) {
  game.width = width;
  game.height = height;
  game.built = 0;
  game.count = 0;
  game.board_size = std::max(width, height);
  // Nothing slow before the greeting: a manager may start the first move's clock at
  // START itself (the Gomocup judge does), so the clear waits for the idle search thread
  // or the game's first search.
  prepare_memory_for_game();
}

void restart_record() {
  game.built = 0;
  game.count = 0;
  decision_memory.last_value = 0;
  prepare_memory_for_game();
}

void record_own_move(int x, int y) { record_move(x, y, OWN_MOVE_ERROR); }

void record_opponent_move(int x, int y) { record_move(x, y, OPPONENT_MOVE_ERROR); }

void refuse_own_move(int x, int y) { log_line(OWN_MOVE_ERROR, x, y); }

void place_blocked_stone(int x, int y) {
  if (!position_built()) return;
  if (!on_board(position, x, y) || position.cells[x][y] != EMPTY) {
    log_line("ERROR board-block move [%d,%d]", x, y);
    return;
  }
  place_stone(position, x, y, BLOCKED);
}

bool take_back(int x, int y) {
  if (!in_board(x, y) || game.count == 0) return false;
  if (position_built()) {
    const int who = position.cells[x][y];
    // A blocked cell is not a move of the game, so it cannot be taken back.
    if (who == EMPTY || who == BLOCKED) return false;
    lift_stone(position, x, y, who);
  } else if (!recorded_in_game(x, y)) {
    return false;  // judged by this game's record, not by the previous game's position
  }
  --game.count;
  decision_memory.last_value = 0;
  return true;
}

void apply_rule(SearchWorker& w) {
  const int rule = playing_rule(settings.rule);
  const bool rebuild = !position_built() || rule != game.applied_rule;
  wait_for_helpers();  // the last decision's, before the pool or the tables change
  if (rebuild) {
    log_line("MESSAGE Rule %s", rule == RULE_FREESTYLE  ? "Gomoku (Freestyle)"
                                : rule == RULE_STANDARD ? "Gomoku (Standard)"
                                                        : "Renju");
    rebuild_position(w, rule);
  }
  prepare_memory_for_search(w);
  if (rebuild && game.first_build_pending) {
    w.decision_start -= FIRST_BUILD_CHARGE_MS;
    w.start_charge_ms = FIRST_BUILD_CHARGE_MS;
    game.first_build_pending = 0;
  }
}

void show_forbidden(SearchWorker& w) {
  if (playing_rule(settings.rule) != RULE_RENJU) return;
  if (!position_built() || game.applied_rule != RULE_RENJU) rebuild_position(w, RULE_RENJU);
  LineBuilder line;
  line_begin(line);
  line_append(line, "FORBID ");
  for (int x = 0; x < game.board_size; ++x)
    for (int y = 0; y < game.board_size; ++y)
      if (is_forbidden(position, x, y)) line_append(line, "%02d%02d", x, y);
  line_append(line, ".");
  line_finish(line);
}

void block_cell(int x, int y) { block_grid.cells[x][y] = 1; }

void clear_block_grid() {
  for (auto& row : block_grid.cells)
    for (auto& cell : row) cell = 0;
}

}  // namespace zerin
