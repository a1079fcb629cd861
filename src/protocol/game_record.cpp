#include "protocol/game_record.h"

#include <algorithm>

#include "board/board.h"
#include "control/context.h"
#include "control/limits.h"
#include "control/search_thread.h"
#include "protocol/command_loop.h"
#include "core/output.h"
#include "protocol/settings.h"
#include "threats/forbidden.h"

namespace zerin {

GameRecord game;
Relaxed<int32_t> block_grid[MAX_SIDE][MAX_SIDE];

namespace {

void greet() {
  log_line("MESSAGE Zerin %s :-)", ENGINE_VERSION);
  log_line("OK");
}

// Appends a move, checked against the position once it is built.
void record_move(int x, int y, const char* error_format) {
  if (game.count >= MAX_CELLS) {  // the record is full: nothing more can be stored
    log_line(error_format, x, y);
    return;
  }
  const int colour = game.count % 2 + 1;
  if (position_built()) {
    if (!on_board(x, y) || board.cells[x][y] != 0) {
      log_line(error_format, x, y);
      return;
    }
    place_stone(x, y, colour);
  }
  game.moves[game.count] = MoveRecord{x, y, colour};
  ++game.count;
}

// Builds the tables for rule, empties the position and replays the record onto it.
// A cell recorded twice while the position was not built is placed once only.
void rebuild_position(int rule) {
  board_rule = rule;
  take_requested_hash_size();
  build_game_tables();
  reset_board();
  for (int i = 0; i < game.count; ++i) {
    const MoveRecord& m = game.moves[i];
    if (on_board(m.x, m.y) && board.cells[m.x][m.y] == 0) place_stone(m.x, m.y, m.colour);
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

bool in_board(int x, int y) { return on_board(x, y); }

void start_game(int width, int height) {
  // A side below 1 is refused like one above 24: a size of 0 would read as "no size set".
  if (width < 1 || width > MAX_SIDE || height < 1 || height > MAX_SIDE) {
    log_line("ERROR size of the board");
    return;
  }
  game.width = width;
  game.height = height;
  game.built = 0;
  game.count = 0;
  game.board_size = std::max(width, height);
  prepare_tables_for_game();  // before the greeting: the controller's clock starts after it
  greet();
}

void restart_game() {
  game.built = 0;
  game.count = 0;
  last_value = 0;
  prepare_tables_for_game();
  greet();
}

void record_own_move(int x, int y) { record_move(x, y, "ERROR my move [%d,%d]"); }

void record_opponent_move(int x, int y) { record_move(x, y, "ERROR opponents's move [%d,%d]"); }

void place_blocked_stone(int x, int y) {
  if (!position_built()) return;
  if (!on_board(x, y) || board.cells[x][y] != 0) {
    log_line("ERROR board-block move [%d,%d]", x, y);
    return;
  }
  place_stone(x, y, 3);
}

bool take_back(int x, int y) {
  if (!in_board(x, y) || game.count == 0) return false;
  if (position_built()) {
    const int who = board.cells[x][y];
    // A blocked cell is not a move of the game, so it cannot be taken back.
    if (who == 0 || who == 3) return false;
    remove_stone(x, y, who);
  } else if (!recorded_in_game(x, y)) {
    return false;  // judged by this game's record, not by the previous game's position
  }
  --game.count;
  last_value = 0;
  return true;
}

void apply_rule() {
  const int rule = playing_rule(settings.rule);
  if (position_built() && rule == game.applied_rule) return;
  pattern_radius = rule == 0 ? 4 : 5;
  log_line("MESSAGE Rule %s", rule == 0 ? "Gomoku (Freestyle)" : rule == 1 ? "Gomoku (Standard)" : "Renju");
  rebuild_position(rule);
  if (game.first_build_pending) {
    decision_start -= 200;  // the first table build of the process counts as thinking time
    game.first_build_pending = 0;
  }
}

void show_forbidden() {
  if (playing_rule(settings.rule) != RULE_RENJU) return;
  if (!position_built() || game.applied_rule != 2) {
    pattern_radius = 5;
    rebuild_position(2);
  }
  LineBuilder line;
  line_begin(line);
  line_append(line, "FORBID ");
  for (int x = 0; x < game.board_size; ++x)
    for (int y = 0; y < game.board_size; ++y)
      if (is_forbidden(x, y)) line_append(line, "%02d%02d", x, y);
  line_append(line, ".");
  line_finish(line);
}

void block_cell(int x, int y) { block_grid[x][y] = 1; }

void clear_block_grid() {
  for (auto& row : block_grid)
    for (auto& cell : row) cell = 0;
}

}  // namespace zerin
