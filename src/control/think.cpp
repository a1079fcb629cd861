#include "control/think.h"

#include <cstdlib>

#include "board/board.h"
#include "board/bookkeeping.h"
#include "control/context.h"
#include "control/drivers.h"
#include "control/limits.h"
#include "control/search_thread.h"
#include "protocol/game_record.h"
#include "core/output.h"
#include "protocol/settings.h"
#include "search/root_search.h"
#include "threats/collectors.h"
#include "threats/evaluation.h"
#include "threats/forbidden.h"
#include "threats/four_threat.h"

namespace zerin {

Candidate principal_variation[PV_CAPACITY];

namespace {

constexpr int SCAN_LOST = 9999999;
constexpr int NOTHING_SCORED = -1000000000;

Candidate cell_list[MAX_CELLS];

void copy_principal_variation() {
  const int length = pv_table[0][0].score;
  for (int i = 0; i <= length && i < PV_CAPACITY; ++i) principal_variation[i] = pv_table[0][i];
}

void detail_line(int d, int value, bool aborted) {
  log_line("MESSAGE DETAIL DEPTH:%d-%d%s VAL:%d TIME:%dms NODE:%dm [%d,%c]", d, d - min_remaining_depth,
           aborted ? "*" : "", clamp_display(value), clock_ms() - decision_start,
           static_cast<int>(node_count / 1000000), game.height - best_move.x, 'A' + best_move.y);
}

// The centre, or the free cell nearest to it when the controller blocked it.
void opening_move() {
  const int cx = game.height / 2, cy = game.width / 2;
  best_move = {cx, cy};
  if (!block_grid[cx][cy]) return;
  int nearest = -1;
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y) {
      if (block_grid[x][y]) continue;
      const int distance = std::abs(x - cx) + std::abs(y - cy);
      if (nearest < 0 || distance < nearest) {
        nearest = distance;
        best_move = {x, y};
      }
    }
}

// Iterative deepening over the root search; returns the decision's value.
int deepen(int side) {
  decision_start = clock_ms();
  abort_flag = 0;
  apply_rule();
  apply_hash_size();
  int value = one_ply_scan(side);
  int counted = 0;
  for (int d = 1; think_may_start_iteration(d); ++d) {
    sole_candidate = 0;
    iteration_depth = d;
    const int v = search_root(side);
    const bool aborted = abort_flag;
    if (aborted && v == 0) break;  // nothing usable from the interrupted iteration
    value = v;
    copy_principal_variation();
    if (settings.show_detail && d >= 5) detail_line(d, v, aborted);
    counted = d;
    if (aborted || decided(v) || (sole_candidate && d >= 5)) break;
  }
  decision_start = clock_ms() - decision_start;
  iteration_depth = counted;
  last_value = value;
  // A win at once: play the five point, or else the open-four point.
  if (value - iteration_depth >= WIN_VALUE) play_on_win(side);
  return value;
}

void report(int value, int elapsed) {
  int shown = value;
  if (value >= DECIDED_BOUND)
    shown = value - iteration_depth;
  else if (value <= -DECIDED_BOUND)
    shown = value + iteration_depth;
  const int evaluation = clamp_display(shown);
  const char* mood = shown > 500 ? ":-)" : shown < -500 ? ":-(" : "";
  const double a = static_cast<double>(expanded_count) / static_cast<double>(node_count + 1) * 100;
  const double b = tried_sum / static_cast<double>(expanded_count + 1);
  const long speed = static_cast<long>(node_count / (elapsed + 1));
  const bool detail = settings.show_detail != 0;
  const int reached = iteration_depth - min_remaining_depth;
  if (detail) {
    log_line("MESSAGE Complexity: %.1f, %.1f | Depth: %d-%d | Time: %ldms | Node: %dm", a, b, iteration_depth,
             reached, static_cast<long>(elapsed), static_cast<int>(node_count / 1000000));
    log_line("MESSAGE Speed: %ld | Evaluation: %d %s", speed, evaluation, mood);
  } else {
    log_line("MESSAGE %.1f | %d | %d | %ldms | %.1f | %ld | %d | %d %s", a, iteration_depth, reached,
             static_cast<long>(elapsed), b, speed, pattern_radius, evaluation, mood);
  }

  LineBuilder line;
  line_begin(line);
  line_append(line, "MESSAGE ");
  if (detail) line_append(line, "Bestline: ");
  const int length = principal_variation[0].score < iteration_depth ? principal_variation[0].score : iteration_depth;
  for (int i = 1; i <= length; ++i) {
    const Candidate& m = principal_variation[i];
    if (detail)
      line_append(line, "[%d%c] ", game.height - m.x, 'A' + m.y);
    else
      line_append(line, "[%d,%d] ", m.x + 1, m.y + 1);
  }
  line_finish(line);

  if (!detail) return;
  bool any_blocked = false;
  line_begin(line);
  line_append(line, "MESSAGE Block");
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y)
      if (block_grid[x][y]) {
        any_blocked = true;
        line_append(line, "[%d%c] ", game.height - x, 'A' + y);
      }
  if (any_blocked) line_finish(line);
}

// A decision that found no cell to play (Renju black whose every free cell is
// forbidden) still answers with a free cell rather than a taken or blocked one: the
// first free cell in scan order, if there is one. With no free cell at all the cell
// stays as it is, or becomes 0,0 when it is not on this board (a cell left from a larger
// board of an earlier game).
void ensure_free_cell() {
  if (on_board(best_move.x, best_move.y) && free_cell(best_move.x, best_move.y)) return;
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y)
      if (free_cell(x, y)) {
        best_move = {x, y};
        return;
      }
  if (!on_board(best_move.x, best_move.y)) best_move = {0, 0};
}

// Whether the engine may play the chosen cell. Before the position is built (the opening
// move of an empty game) every cell of the board is empty and only zrblock can forbid it.
bool playable(MovePoint m) {
  if (!on_board(m.x, m.y) || block_grid[m.x][m.y]) return false;
  return !position_built() || board.cells[m.x][m.y] == 0;
}

// The chosen cell is recorded like a PLAY of it (a refusal writes its error line first)
// and answered. When nothing is free to play (every empty cell blocked, or none left) the
// move is refused: the error line and the reply name the same cell, nothing is recorded.
void play_move() {
  if (position_built()) ensure_free_cell();
  if (playable(best_move))
    record_own_move(best_move.x, best_move.y);
  else
    log_line("ERROR my move [%d,%d]", best_move.x, best_move.y);
  log_line("%d,%d", best_move.x, best_move.y);
}

}  // namespace

int one_ply_scan(int side) {
  const int opp = side ^ 3;
  const bool renju = board_rule == 2;
  int best = NOTHING_SCORED;
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y) {
      if (!free_cell(x, y)) continue;
      if (renju && side == 1 && is_forbidden(x, y)) continue;
      place_stone(x, y, side);
      // Lost when the opponent now wins at once (a five, or an open four that stands).
      const int score = threat_win_check(0, opp) != 0 ? -SCAN_LOST : -evaluate_position(0, opp);
      remove_stone(x, y, side);
      if (score > best) {
        best_move = {x, y};
        best = score;
      }
    }
  return best == NOTHING_SCORED ? 1 : 0;
}

int play_on_win(int side) {
  if (collect_five_points(cell_list, side) > 0 || collect_open_four_points(cell_list, side) > 0) {
    best_move = {cell_list[0].x, cell_list[0].y};
    return 1;
  }
  return 0;
}

int forced_block(int side) {
  if (collect_five_points(cell_list, side) > 0) return 0;
  const int n = collect_five_points(cell_list, side ^ 3);
  if (n == 0) return 0;
  best_move = {cell_list[0].x, cell_list[0].y};
  return n;
}

void think() {
  const int side = game.count % 2 + 1;
  node_count = 0;
  expanded_count = 0;
  tried_sum = 0.0;
  min_remaining_depth = 0;
  compute_turn_limit(true);
  int value;
  int elapsed = 0;
  int blocks = 0;
  if (game.count == 0) {
    opening_move();
    value = last_value;
  } else if (position_built() && last_value - iteration_depth >= WIN_VALUE && play_on_win(side)) {
    // The last decision won at once; its five or open-four point is played. When the
    // side has neither (the win was the other side's, both sides being played by the
    // engine), the decision is taken afresh rather than answering an occupied cell.
    value = last_value;
  } else if (position_built() && (blocks = forced_block(side)) > 0) {
    value = blocks >= 2 ? -WIN_VALUE : last_value;
    last_value = value;
  } else {
    value = deepen(side);
    elapsed = decision_start;
  }
  if (elapsed == 0) decision_start = 0;
  report(value, elapsed);
  play_move();
}

}  // namespace zerin
