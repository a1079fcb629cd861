#include "search/root_search.h"

#include <algorithm>
#include <cstdlib>

#include "board/board.h"
#include "board/bookkeeping.h"
#include "board/hash_tables.h"
#include "control/context.h"
#include "control/limits.h"
#include "protocol/game_record.h"
#include "core/output.h"
#include "protocol/settings.h"
#include "search/candidates.h"
#include "search/node_search.h"
#include "threats/collectors.h"
#include "threats/evaluation.h"
#include "threats/forbidden.h"
#include "threats/four_threat.h"

namespace zerin {

namespace {

constexpr int ROOT_WINDOW = 100000000;

inline bool holds_player_stone(int x, int y) {
  return on_board(x, y) && (board.cells[x][y] == 1 || board.cells[x][y] == 2);
}

// Cells the root has not searched and could still play.
inline bool open_root_cell(int x, int y) {
  return board.cells[x][y] == 0 && !stamped(0, x, y) && !block_grid[x][y];
}

// Announces the unsearched cells around the stones as searched, near ones first, far
// ones with the batch's last move, so a board program's display fills in.
void stage_end_sweep(int index, bool last_of_batch) {
  const int r = settings.caution_factor >= 2 ? 3 : 2;
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y) {
      if (!open_root_cell(x, y)) continue;
      bool hit = false;
      for (int dx = -r; dx <= r && !hit; ++dx)
        for (int dy = -r; dy <= r && !hit; ++dy) {
          const int manhattan = std::abs(dx) + std::abs(dy);
          if (index != 0 && (last_of_batch ? manhattan <= 3 : manhattan > 3)) continue;
          hit = holds_player_stone(x + dx, y + dy);
        }
      if (hit) {
        log_line("MESSAGE REALTIME POS %d,%d", x, y);
        log_line("MESSAGE REALTIME DONE %d,%d", x, y);
      }
    }
}

void losing_sweep() {
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y) {
      if (!open_root_cell(x, y)) continue;
      bool near = false;
      for (int dx = -3; dx <= 3 && !near; ++dx)
        for (int dy = -3; dy <= 3 && !near; ++dy) near = holds_player_stone(x + dx, y + dy);
      if (near) log_line("MESSAGE REALTIME LOSE %d,%d", x, y);
    }
}

void principal_variation_line(int d) {
  LineBuilder line;
  line_begin(line);
  line_append(line, "MESSAGE REALTIME PV");
  const Candidate* pv = pv_table[0];
  const int length = std::min(pv[0].score, d);
  for (int j = 1; j <= length; ++j) line_append(line, " [%d%c]", game.height - pv[j].x, 'A' + pv[j].y);
  line_finish(line);
}

void apply_value_limits(int d, int& alpha, int& best) {
  alpha = std::min(alpha, d + 9999999);
  if (best != NO_VALUE) best = std::max(std::min(best, d + 9999999), -(d + 9999999));
}

}  // namespace

int search_root(int side) {
  const int d = iteration_depth;
  const int opp = side ^ 3;
  const int s = side - 1;
  clear_principal_variation(0);
  if (!enter_node()) return 0;
  if (const int win = threat_win_check(d, side)) return win;

  SearchNode node;
  init_search_node(node, d, -ROOT_WINDOW, ROOT_WINDOW, side, 0, true);
  int count = forced_block_move(node);
  int phase = count > 0 ? STAGE_FORCED_BLOCK : STAGE_TABLE;
  if (count == 0 && d <= 0) {
    const int value = evaluate_position(d, side);
    store_value(d, value, BOUND_EXACT, side);
    return value;
  }

  ++expanded_count;
  ++ply_visits[0];
  const bool realtime = d >= 8 && settings.show_detail != 0;
  int alpha = -ROOT_WINDOW;
  int best = NO_VALUE;
  int flag = BOUND_UPPER;
  int done = 0;
  int nonlosing = 0;
  BestMoves best_moves;
  init_best_moves(best_moves);
  for (;;) {
    if (phase == STAGE_TABLE) {
      count = table_moves(node);
      if (count == 0 && d >= 6) {
        // Internal deepening: only the moves it leaves in the table are used.
        search_node(d - 3, alpha, ROOT_WINDOW, side, 0);
        if (abort_flag) return 0;
        count = table_moves(node);
      }
      if (count == 0) {
        phase = STAGE_OWN_DOUBLE;
        continue;
      }
    } else if (phase != STAGE_FORCED_BLOCK) {
      count = next_batch(node, &phase);
      if (count == 0) break;
    }
    score_batch(node, count);
    if (phase != STAGE_TABLE) sort_candidates(node.list, count);

    for (int i = 0; i < count; ++i) {
      const int x = node.list[i].x, y = node.list[i].y;
      if (node.list[i].score == SKIP_SCORE) break;
      const MoveAttributes a = move_attributes(x, y, node);
      const int w = a.offset;
      int q = a.step;
      if (realtime) {
        if (best_moves.x[0] == -1) {
          log_line("MESSAGE REALTIME BEST %d,%d", x, y);
          log_line("MESSAGE REALTIME REFRESH");
        }
        if (phase == STAGE_GENERAL) {
          const bool next_skipped = i + 1 < count && node.list[i + 1].score == SKIP_SCORE;
          const bool after_next_skipped = i + 2 < count && node.list[i + 2].score == SKIP_SCORE;
          const bool last = i == count - 1 || next_skipped;
          if (last || i == count - 2 || after_next_skipped) stage_end_sweep(i, last);
        }
        log_line("MESSAGE REALTIME POS %d,%d", x, y);
      }
      const int own_value = cell_summaries[x][y].value_sum[s];
      place_stone(x, y, side);
      if (own_value >= 8 && own_value <= 157) {
        const int r = four_threat_search(d - 1, side, 0, 0);
        if (!abort_flag && r > 0) q = std::min(4, q + 1 + (own_value >= 34 ? 1 : 0));
      }
      int v;
      if (done == 0) {
        v = w - search_node(d - 1, w - ROOT_WINDOW, w - alpha, opp, q);
      } else {
        v = w - search_node(d - 1, w - alpha - 1, w - alpha, opp, q);
        if (alpha < v && v < ROOT_WINDOW) v = w - search_node(d - 1, w - ROOT_WINDOW, w - alpha, opp, q);
      }
      remove_stone(x, y, side);
      if (realtime) log_line("MESSAGE REALTIME DONE %d,%d", x, y);
      if (abort_flag) {
        // Two completed root moves make the interrupted iteration usable.
        if (done <= 1) return 0;
        best_move = {best_moves.x[0], best_moves.y[0]};
        apply_value_limits(d, alpha, best);
        if (best == 0) best = 1;
        if (alpha == 0) alpha = 1;
        return best != NO_VALUE ? best : alpha;
      }
      if (realtime) {
        if (v > best) {
          log_line("MESSAGE REALTIME BEST %d,%d", x, y);
          log_line("MESSAGE REALTIME VAL %d", clamp_display(v));
        }
        if (v < -DECIDED_BOUND) log_line("MESSAGE REALTIME LOSE %d,%d", x, y);
      }
      if (v > -DECIDED_BOUND) ++nonlosing;
      if (v > best) best = v;
      insert_best_move(best_moves, x, y, decided(v) ? v : std::max(alpha, v));
      if (v > alpha) {
        alpha = v;
        flag = BOUND_EXACT;
        node.alpha = v;
        extend_principal_variation(0, x, y);
        if (realtime) principal_variation_line(d);
      }
      ++done;
    }
    if (phase >= STAGE_GENERAL) break;
    ++phase;
  }

  // With no root move searched the cell chosen before the iteration stays.
  if (best_moves.x[0] != -1) best_move = {best_moves.x[0], best_moves.y[0]};
  sole_candidate = nonlosing == 1 ? 1 : 0;
  if (realtime && best != NO_VALUE && best < -DECIDED_BOUND) losing_sweep();
  store_best(d, best != NO_VALUE ? best : alpha, flag, side, best_moves);
  tried_sum += node.accepted;
  apply_value_limits(d, alpha, best);
  if (node.accepted > 0) return best != NO_VALUE ? best : alpha;
  if (game.count >= game.width * game.height) return 0;
  return std::max(alpha, -(9999998 + d));
}

}  // namespace zerin
