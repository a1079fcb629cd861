#include "search/root_search.h"

#include <algorithm>
#include <cstdlib>

#include "board/hash_tables.h"
#include "core/output.h"
#include "search/candidates.h"
#include "search/node_search.h"
#include "threats/collectors.h"
#include "threats/evaluation.h"
#include "threats/forbidden.h"
#include "threats/four_threat.h"

namespace zerin {

namespace {

constexpr int ROOT_WINDOW = 100000000;

inline bool holds_player_stone(const Board& b, int x, int y) {
  return on_board(b, x, y) && (b.cells[x][y] == BLACK || b.cells[x][y] == WHITE);
}

// Cells the root has not searched and could still play.
inline bool open_root_cell(const SearchWorker& w, int x, int y) {
  return w.board.cells[x][y] == EMPTY && !w.stamped(0, x, y) && !w.blocks.blocked(x, y);
}

// Announces the unsearched cells around the stones as searched, near ones first, far
// ones with the batch's last move, so a board program's display fills in.
void stage_end_sweep(const SearchWorker& w, int index, bool last_of_batch) {
  const Board& b = w.board;
  const int r = w.settings.caution_factor >= 2 ? 3 : 2;
  for (int x = 0; x < b.height; ++x)
    for (int y = 0; y < b.width; ++y) {
      if (!open_root_cell(w, x, y)) continue;
      bool hit = false;
      for (int dx = -r; dx <= r && !hit; ++dx)
        for (int dy = -r; dy <= r && !hit; ++dy) {
          const int manhattan = std::abs(dx) + std::abs(dy);
          if (index != 0 && (last_of_batch ? manhattan <= 3 : manhattan > 3)) continue;
          hit = holds_player_stone(b, x + dx, y + dy);
        }
      if (hit) {
        log_line("MESSAGE REALTIME POS %d,%d", x, y);
        log_line("MESSAGE REALTIME DONE %d,%d", x, y);
      }
    }
}

void losing_sweep(const SearchWorker& w) {
  const Board& b = w.board;
  for (int x = 0; x < b.height; ++x)
    for (int y = 0; y < b.width; ++y) {
      if (!open_root_cell(w, x, y)) continue;
      bool near = false;
      for (int dx = -3; dx <= 3 && !near; ++dx)
        for (int dy = -3; dy <= 3 && !near; ++dy) near = holds_player_stone(b, x + dx, y + dy);
      if (near) log_line("MESSAGE REALTIME LOSE %d,%d", x, y);
    }
}

void principal_variation_line(const SearchWorker& w, int d) {
  LineBuilder line;
  line_begin(line);
  line_append(line, "MESSAGE REALTIME PV");
  const Candidate* pv = w.pv_table[0];
  const int length = std::min(pv[0].score, d);
  for (int j = 1; j <= length; ++j) line_append(line, " [%d%c]", w.board.height - pv[j].x, 'A' + pv[j].y);
  line_finish(line);
}

void apply_value_limits(int d, int& alpha, int& best) {
  alpha = std::min(alpha, d + ROOT_VALUE_LIMIT);
  if (best != NO_VALUE) best = std::max(std::min(best, d + ROOT_VALUE_LIMIT), -(d + ROOT_VALUE_LIMIT));
}

}  // namespace

int search_root(SearchWorker& w, int side) {
  Board& b = w.board;
  const int depth = w.iteration_depth;
  const int opp = opponent(side);
  const int s = player_index(side);
  w.clear_principal_variation(0);
  if (!enter_node(w)) return 0;
  if (const int win = threat_win_check(b, depth, side)) return win;

  SearchNode node(w, depth, -ROOT_WINDOW, ROOT_WINDOW, side, 0, true);
  const bool forced = forced_block_move(node) > 0;
  if (!forced && depth <= 0) {
    const int value = evaluate_position(w, depth, side);
    store_value(w, depth, value, BOUND_EXACT, side);
    return value;
  }

  ++w.expanded_count;
  ++w.ply_visits[0];
  const bool realtime = w.reports && depth >= 8 && w.settings.show_detail != 0;
  int alpha = -ROOT_WINDOW;
  int best = NO_VALUE;
  int flag = BOUND_UPPER;
  int done = 0;
  int nonlosing = 0;
  BestMoves best_moves;
  init_best_moves(best_moves);
  // Searches one root move (its realtime lines before the search are the caller's);
  // false when the search was stopped.
  auto search_move = [&](int x, int y) -> bool {
    const MoveAttributes attributes = move_attributes(x, y, node);
    const int offset = attributes.offset;
    int step = attributes.step;
    const int own_value = b.cell_summaries[x][y][s].value_sum;
    place_stone(b, x, y, side);
    step = threat_extension(w, depth, side, own_value, step);
    int value;
    if (done == 0) {
      value = offset - search_node(w, depth - 1, offset - ROOT_WINDOW, offset - alpha, opp, step);
    } else {
      value = offset - search_node(w, depth - 1, offset - alpha - 1, offset - alpha, opp, step);
      if (alpha < value && value < ROOT_WINDOW)
        value = offset - search_node(w, depth - 1, offset - ROOT_WINDOW, offset - alpha, opp, step);
    }
    remove_stone(b, x, y, side);
    if (realtime) log_line("MESSAGE REALTIME DONE %d,%d", x, y);
    if (w.abort_flag) return false;
    if (realtime) {
      if (value > best) {
        log_line("MESSAGE REALTIME BEST %d,%d", x, y);
        log_line("MESSAGE REALTIME VAL %d", clamp_display(value));
      }
      if (value < -DECIDED_BOUND) log_line("MESSAGE REALTIME LOSE %d,%d", x, y);
    }
    if (value > -DECIDED_BOUND) ++nonlosing;
    if (value > best) best = value;
    insert_best_move(best_moves, x, y, decided(value) ? value : std::max(alpha, value));
    if (value > alpha) {
      alpha = value;
      flag = BOUND_EXACT;
      node.alpha = value;
      extend_principal_variation(w, 0, x, y);
      if (realtime) principal_variation_line(w, depth);
    }
    ++done;
    return true;
  };
  // The iteration cut short: usable once two root moves are complete.
  auto aborted_result = [&]() -> int {
    if (done <= 1) return 0;
    w.best_move = {best_moves.x[0], best_moves.y[0]};
    apply_value_limits(depth, alpha, best);
    if (best == 0) best = 1;
    if (alpha == 0) alpha = 1;
    return best != NO_VALUE ? best : alpha;
  };

  // A helper thread puts off the root moves another thread is busy with (the search
  // thread keeps its order, which its reports follow).
  BusyTable* const busy = w.reports ? nullptr : w.busy;
  Candidate put_off[MAX_CELLS];
  int put_off_count = 0;
  CandidateBatches batches(node, forced);
  for (;;) {
    const CandidateBatches::Loaded loaded = batches.load(depth >= 6, [&] {
      // Internal deepening: only the moves it leaves in the table are used.
      search_node(w, depth - 3, alpha, ROOT_WINDOW, side, 0);
      return !w.abort_flag;
    });
    if (loaded == CandidateBatches::STOPPED) return 0;
    if (loaded == CandidateBatches::NO_BATCH) break;

    while (const Candidate* move = batches.next()) {
      const int x = move->x, y = move->y;
      if (busy != nullptr && done > 0 && busy->busy(b.hash_key ^ zobrist_keys[x * MAX_SIDE + y][side - 1])) {
        put_off[put_off_count++] = *move;
        continue;
      }
      if (realtime) {
        if (best_moves.x[0] == -1) {
          log_line("MESSAGE REALTIME BEST %d,%d", x, y);
          log_line("MESSAGE REALTIME REFRESH");
        }
        if (batches.phase() == STAGE_GENERAL) {
          const int i = batches.index(), count = batches.size();
          const bool next_skipped = i + 1 < count && batches.skipped(i + 1);
          const bool after_next_skipped = i + 2 < count && batches.skipped(i + 2);
          const bool last = i == count - 1 || next_skipped;
          if (last || i == count - 2 || after_next_skipped) stage_end_sweep(w, i, last);
        }
        log_line("MESSAGE REALTIME POS %d,%d", x, y);
      }
      if (!search_move(x, y)) return aborted_result();
    }
  }
  for (int i = 0; i < put_off_count; ++i)
    if (!search_move(put_off[i].x, put_off[i].y)) return aborted_result();

  // With no root move searched the cell chosen before the iteration stays.
  if (best_moves.x[0] != -1) w.best_move = {best_moves.x[0], best_moves.y[0]};
  w.sole_candidate = nonlosing == 1 ? 1 : 0;
  if (realtime && best != NO_VALUE && best < -DECIDED_BOUND) losing_sweep(w);
  store_best(w, depth, best != NO_VALUE ? best : alpha, flag, side, best_moves);
  w.tried_sum += node.accepted;
  apply_value_limits(depth, alpha, best);
  if (node.accepted > 0) return best != NO_VALUE ? best : alpha;
  if (w.game_moves >= b.width * b.height) return 0;
  return std::max(alpha, -(NO_MOVE_LOSS + depth));
}

}  // namespace zerin
