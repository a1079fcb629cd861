#include "control/think.h"

#include <algorithm>
#include <cstdlib>

#include "control/game.h"
#include "control/helpers.h"
#include "control/limits.h"
#include "core/output.h"
#include "core/settings.h"
#include "search/root_search.h"
#include "threats/collectors.h"
#include "threats/evaluation.h"
#include "threats/forbidden.h"
#include "threats/four_threat.h"

namespace zerin {

DecisionMemory decision_memory;

namespace {

constexpr int SCAN_LOST = WIN_VALUE - 1;  // the one-ply scan's value of a move that loses at once
constexpr int NOTHING_SCORED = NO_VALUE;
constexpr int DETAIL_FROM_DEPTH = 5;       // iterations that write a detail line
constexpr int MOOD_THRESHOLD = 500;        // the summary smiles above it and frowns below its negative

// Room for a helper's iteration, off the stack.
HelperIteration taken_iteration;

void copy_principal_variation(const SearchWorker& w) {
  const int length = w.pv_table[0][0].score;
  for (int i = 0; i <= length && i < PV_CAPACITY; ++i) decision_memory.principal_variation[i] = w.pv_table[0][i];
}

void detail_line(const SearchWorker& w, int d, int value, bool aborted) {
  log_line("MESSAGE DETAIL DEPTH:%d-%d%s VAL:%d TIME:%dms NODE:%dm [%d,%c]", d, d - w.min_remaining_depth,
           aborted ? "*" : "", clamp_display(value), clock_ms() - w.decision_start,
           static_cast<int>(w.decision_nodes() / 1000000), game.height - w.best_move.x, 'A' + w.best_move.y);
}

// The centre, or the free cell nearest to it when the controller blocked it.
void opening_move(SearchWorker& w) {
  const int cx = game.height / 2, cy = game.width / 2;
  w.best_move = {cx, cy};
  if (!block_grid.blocked(cx, cy)) return;
  int nearest = -1;
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y) {
      if (block_grid.blocked(x, y)) continue;
      const int distance = std::abs(x - cx) + std::abs(y - cy);
      if (nearest < 0 || distance < nearest) {
        nearest = distance;
        w.best_move = {x, y};
      }
    }
}

}  // namespace

int deepen(SearchWorker& w, int side, bool ample_time, int64_t* helper_nodes) {
  w.decision_start = clock_ms();
  w.abort_flag = 0;
  apply_rule(w);
  w.game_moves = game.count;
  int value = one_ply_scan(w, side);
  start_helpers(w, side, memory_plan().helpers);
  int counted = 0;
  bool partial = false;  // the counted iteration was cut short
  for (int d = 1; think_may_start_iteration(w, d, ample_time); ++d) {
    w.sole_candidate = 0;
    w.iteration_depth = d;
    note_main_iteration(d);
    const int v = search_root(w, side);
    const bool aborted = w.abort_flag;
    if (aborted && v == 0) break;  // nothing usable from the interrupted iteration
    value = v;
    copy_principal_variation(w);
    if (settings.show_detail && d >= DETAIL_FROM_DEPTH) detail_line(w, d, v, aborted);
    counted = d;
    partial = aborted;
    if (aborted || decided(v) || (w.sole_candidate && d >= SOLE_MOVE_DEPTH)) break;
  }
  *helper_nodes = release_helpers(w);
  // A helper's complete iteration deeper than the search thread's (or as deep, where
  // the search thread's was cut short) is the decision's.
  HelperIteration& taken = taken_iteration;
  if (deepest_helper_iteration(taken) && (taken.depth > counted || (taken.depth == counted && partial))) {
    counted = taken.depth;
    value = taken.value;
    w.best_move = taken.move;
    w.min_remaining_depth = std::min(w.min_remaining_depth, taken.min_remaining_depth);
    const int length = taken.line[0].score;
    for (int i = 0; i <= length; ++i) decision_memory.principal_variation[i] = taken.line[i];
    if (settings.show_detail && counted >= DETAIL_FROM_DEPTH) {
      w.iteration_depth = counted;
      detail_line(w, counted, value, false);
    }
  }
  w.decision_start = clock_ms() - w.decision_start;
  w.iteration_depth = counted;
  decision_memory.last_value = value;
  // A win at once: play the five point, or else the open-four point.
  if (value - w.iteration_depth >= WIN_VALUE) play_on_win(w, side);
  return value;
}

namespace {

// nodes: the decision's nodes over all its threads.
void report(const SearchWorker& w, int value, int elapsed, int64_t nodes) {
  const int depth = w.iteration_depth;
  int shown = value;
  if (value >= DECIDED_BOUND)
    shown = value - depth;
  else if (value <= -DECIDED_BOUND)
    shown = value + depth;
  const int evaluation = clamp_display(shown);
  const char* mood = shown > MOOD_THRESHOLD ? ":-)" : shown < -MOOD_THRESHOLD ? ":-(" : "";
  const double expanded_share = static_cast<double>(w.expanded_count) / static_cast<double>(w.node_count + 1) * 100;
  const double tried_per_node = w.tried_sum / static_cast<double>(w.expanded_count + 1);
  const long speed = static_cast<long>(nodes / (elapsed + 1));
  const bool detail = settings.show_detail != 0;
  const int reached = depth - w.min_remaining_depth;
  if (detail) {
    log_line("MESSAGE Complexity: %.1f, %.1f | Depth: %d-%d | Time: %ldms | Node: %dm", expanded_share, tried_per_node,
             depth, reached, static_cast<long>(elapsed), static_cast<int>(nodes / 1000000));
    log_line("MESSAGE Speed: %ld | Evaluation: %d %s", speed, evaluation, mood);
  } else {
    log_line("MESSAGE %.1f | %d | %d | %ldms | %.1f | %ld | %d | %d %s", expanded_share, depth, reached,
             static_cast<long>(elapsed), tried_per_node, speed, position.pattern_radius, evaluation, mood);
  }

  const Candidate* line_of_play = decision_memory.principal_variation;
  LineBuilder line;
  line_begin(line);
  line_append(line, "MESSAGE ");
  if (detail) line_append(line, "Bestline: ");
  const int length = line_of_play[0].score < depth ? line_of_play[0].score : depth;
  for (int i = 1; i <= length; ++i) {
    const Candidate& m = line_of_play[i];
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
      if (block_grid.blocked(x, y)) {
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
void ensure_free_cell(MovePoint& m) {
  if (in_board(m.x, m.y) && free_cell(m.x, m.y)) return;
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y)
      if (free_cell(x, y)) {
        m = {x, y};
        return;
      }
  if (!in_board(m.x, m.y)) m = {0, 0};
}

// Whether the engine may play the chosen cell. Before the position is built (the opening
// move of an empty game) every cell of the board is empty and only zrblock can forbid it.
bool playable(MovePoint m) {
  if (!in_board(m.x, m.y) || block_grid.blocked(m.x, m.y)) return false;
  return !position_built() || position.cells[m.x][m.y] == EMPTY;
}

// The chosen cell is recorded like a PLAY of it (a refusal writes its error line first)
// and answered. When nothing is free to play (every empty cell blocked, or none left) the
// move is refused: the error line and the reply name the same cell, nothing is recorded.
void play_move(MovePoint& m) {
  if (position_built()) ensure_free_cell(m);
  if (playable(m))
    record_own_move(m.x, m.y);
  else
    refuse_own_move(m.x, m.y);
  log_line("%d,%d", m.x, m.y);
}

}  // namespace

int one_ply_scan(SearchWorker& w, int side) {
  Board& b = w.board;
  const int opp = opponent(side);
  const bool renju = b.rule == RULE_RENJU;
  int best = NOTHING_SCORED;
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y) {
      if (!free_cell(x, y)) continue;
      if (renju && side == BLACK && is_forbidden(b, x, y)) continue;
      place_stone(b, x, y, side);
      // Lost when the opponent now wins at once (a five, or an open four that stands).
      const int score = threat_win_check(b, 0, opp) != 0 ? -SCAN_LOST : -evaluate_position(w, 0, opp);
      remove_stone(b, x, y, side);
      if (score > best) {
        w.best_move = {x, y};
        best = score;
      }
    }
  return best == NOTHING_SCORED ? 1 : 0;
}

int play_on_win(SearchWorker& w, int side) {
  Candidate* cells = w.lists[0];
  if (collect_five_points(w.board, cells, side) > 0 || collect_open_four_points(w.board, cells, side) > 0) {
    w.best_move = {cells[0].x, cells[0].y};
    return 1;
  }
  return 0;
}

int forced_block(SearchWorker& w, int side) {
  Candidate* cells = w.lists[0];
  if (collect_five_points(w.board, cells, side) > 0) return 0;
  const int n = collect_five_points(w.board, cells, opponent(side));
  if (n == 0) return 0;
  if (n >= 2 && is_caro(w.board.rule)) {
    // Caro: one stone may stop them all, taking the other end of a five's run.
    const int i = caro_stopping_block(w.board, cells, n, opponent(side));
    if (i >= 0) {
      w.best_move = {cells[i].x, cells[i].y};
      return 1;
    }
  }
  w.best_move = {cells[0].x, cells[0].y};
  return n;
}

void think(SearchWorker& w) {
  const int side = game.count % 2 + 1;
  w.clear_counters();
  const bool ample_time = compute_turn_limit(w);
  int& last_value = decision_memory.last_value;
  int value;
  int elapsed = 0;
  int blocks = 0;
  int64_t helper_nodes = 0;
  if (game.count == 0) {
    opening_move(w);
    value = last_value;
  } else if (position_built() && last_value - w.iteration_depth >= WIN_VALUE && play_on_win(w, side)) {
    // The last decision won at once; its five or open-four point is played. When the
    // side has neither (the win was the other side's, both sides being played by the
    // engine), the decision is taken afresh rather than answering an occupied cell.
    value = last_value;
  } else if (position_built() && (blocks = forced_block(w, side)) > 0) {
    value = blocks >= 2 ? -WIN_VALUE : last_value;
    last_value = value;
  } else {
    value = deepen(w, side, ample_time, &helper_nodes);
    elapsed = w.decision_start;
  }
  if (elapsed == 0) w.decision_start = 0;
  report(w, value, elapsed, w.node_count + helper_nodes);
  play_move(w.best_move);
}

}  // namespace zerin
