// Balance searches: the move, or move pair, whose searched value lies closest to a
// target value for the side to move.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "control/balance.h"
#include "control/game.h"
#include "control/limits.h"
#include "control/think.h"
#include "core/output.h"
#include "search/node_search.h"
#include "threats/evaluation.h"

namespace zerin {

namespace {

constexpr int FULL_WINDOW = WIN_VALUE;
constexpr int TARGET_LIMIT = 2000;  // targets are taken within +-2000
constexpr int NARROW_LIST = 32;  // below this many entries the window narrows around the target

struct BalanceEntry {
  int32_t score;  // distance of the resulting value from the target
  int16_t x1, y1, x2, y2;
};

// The candidate list (every ordered pair of cells fits) and the cells near a stone; kept
// off the stack.
struct BalanceLists {
  BalanceEntry entries[MAX_CELLS * MAX_CELLS];
  uint8_t near_mask[MAX_SIDE][MAX_SIDE];
};
BalanceLists lists;
BalanceEntry* const entries = lists.entries;
uint8_t (*const near_mask)[MAX_SIDE] = lists.near_mask;

struct BalanceRun {
  SearchWorker& w;
  bool two;     // balance_two: a move of the side and a reply of the opponent
  int side;
  int target;   // B
  int count;    // list length
  const CellMask* allowed;  // null: no restriction beyond the search's own
};

inline bool allowed_cell(const BalanceRun& run, int x, int y) { return run.allowed == nullptr || (*run.allowed)[x][y]; }

void build_near_mask(const Board& b) {
  std::memset(lists.near_mask, 0, sizeof lists.near_mask);
  const int n = game.board_size;
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y) {
      if (b.cells[x][y] != EMPTY) continue;
      for (int sx = std::max(0, x - 3); sx <= std::min(n - 1, x + 3) && !near_mask[x][y]; ++sx)
        for (int sy = std::max(0, y - 3); sy <= std::min(n - 1, y + 3); ++sy)
          if (b.cells[sx][sy] != EMPTY) {
            near_mask[x][y] = 1;
            break;
          }
    }
}

int collect_single_moves(BalanceRun& run) {
  Board& b = run.w.board;
  const int opp = opponent(run.side);
  int n = 0;
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y) {
      if (!free_cell(x, y) || !(near_mask[x][y] || game.count == 0) || !allowed_cell(run, x, y)) continue;
      place_stone(b, x, y, run.side);
      const int score = std::abs(-evaluate_position(run.w, 0, opp) - run.target);
      remove_stone(b, x, y, run.side);
      entries[n++] = BalanceEntry{score, static_cast<int16_t>(x), static_cast<int16_t>(y), 0, 0};
    }
  return n;
}

int collect_move_pairs(BalanceRun& run) {
  Board& b = run.w.board;
  const int opp = opponent(run.side);
  int n = 0;
  for (int x1 = 0; x1 < game.height; ++x1)
    for (int y1 = 0; y1 < game.width; ++y1) {
      if (!free_cell(x1, y1) || !allowed_cell(run, x1, y1)) continue;
      place_stone(b, x1, y1, run.side);
      for (int x2 = 0; x2 < game.height; ++x2)
        for (int y2 = 0; y2 < game.width; ++y2) {
          if (!free_cell(x2, y2) || !allowed_cell(run, x2, y2)) continue;
          const int conditions = (std::abs(x1 - x2) <= 3 && std::abs(y1 - y2) <= 3) + near_mask[x1][y1] +
                                 near_mask[x2][y2] + (game.count == 0);
          if (conditions < 2) continue;
          place_stone(b, x2, y2, opp);
          const int score = std::abs(evaluate_position(run.w, 0, run.side) - run.target);
          remove_stone(b, x2, y2, opp);
          entries[n++] = BalanceEntry{score, static_cast<int16_t>(x1), static_cast<int16_t>(y1),
                                      static_cast<int16_t>(x2), static_cast<int16_t>(y2)};
        }
      remove_stone(b, x1, y1, run.side);
    }
  return n;
}

void make_entry(BalanceRun& run, const BalanceEntry& e) {
  place_stone(run.w.board, e.x1, e.y1, run.side);
  if (run.two) place_stone(run.w.board, e.x2, e.y2, opponent(run.side));
}

void unmake_entry(BalanceRun& run, const BalanceEntry& e) {
  if (run.two) remove_stone(run.w.board, e.x2, e.y2, opponent(run.side));
  remove_stone(run.w.board, e.x1, e.y1, run.side);
}

// Distance from the target of the value for the side that made the first move.
inline int distance(const BalanceRun& run, int v) { return std::abs((run.two ? v : -v) - run.target); }

int search_entry(BalanceRun& run, int depth, int index, int searched) {
  SearchWorker& w = run.w;
  const int searcher = run.two ? run.side : opponent(run.side);
  if (searched >= NARROW_LIST || index == 0)
    return distance(run, search_node(w, depth, -FULL_WINDOW, FULL_WINDOW, searcher, 0));
  const int best = entries[0].score;
  const int alpha = run.two ? run.target - best : -run.target - best;
  const int beta = run.two ? run.target + best : best - run.target;
  int score = distance(run, search_node(w, depth, alpha, beta, searcher, 0));
  if (score == best) score = best + 1;
  if (score < best) {
    score = distance(run, search_node(w, depth, -FULL_WINDOW, FULL_WINDOW, searcher, 0));
    if (score == best) score = best + 1;
  }
  return score;
}

void sort_entries(int n) {
  std::stable_sort(entries, entries + n,
                   [](const BalanceEntry& a, const BalanceEntry& b) { return a.score < b.score; });
}

int shrink(int searched, int depth) {
  if (searched >= NARROW_LIST) {
    if (depth <= 4) return std::min(searched, 1024 >> (depth - 1));
    return std::max(31, static_cast<int>(0.6 * searched));
  }
  if (entries[0].score > 16 || searched <= 4) return searched;
  const int next = searched > 16 ? searched - 3 : searched >= 9 ? searched - 2 : searched - 1;
  return next < 5 ? 4 : next;
}

void balance_line(const BalanceRun& run, const char* label, int depth, int elapsed) {
  const BalanceEntry& e = entries[0];
  LineBuilder line;
  line_begin(line);
  line_append(line, "MESSAGE DETAIL %sDEPTH:%d-%d |VAL%+d|:%d TIME:%dms NODE:%dm [%d,%c]", label, depth,
              depth - run.w.min_remaining_depth, -run.target, std::min(e.score, DISPLAY_LIMIT), elapsed,
              static_cast<int>(run.w.node_count / 1000000), game.height - e.x1, 'A' + e.y1);
  if (run.two) line_append(line, "[%d,%c]", game.height - e.x2, 'A' + e.y2);
  line_finish(line);
}

BalanceChoice choice_of(const BalanceEntry& e) { return BalanceChoice{e.score, {e.x1, e.y1}, {e.x2, e.y2}}; }

}  // namespace

BalanceOutcome run_balance(SearchWorker& w, bool two, int32_t target, const BalanceOptions& options) {
  const int limited = std::max(-TARGET_LIMIT, std::min(TARGET_LIMIT, static_cast<int>(target)));
  BalanceRun run{w, two, game.count % 2 + 1, limited, 0, options.allowed};
  w.clear_counters();
  w.decision_start = clock_ms();
  w.abort_flag = 0;
  apply_rule(w);
  w.game_moves = game.count;
  build_near_mask(w.board);
  run.count = two ? collect_move_pairs(run) : collect_single_moves(run);
  sort_entries(run.count);

  int searched = run.count;
  int depth = 1;
  for (; searched > 0 && balance_may_start_iteration(w, depth); ++depth) {
    w.iteration_depth = depth;
    bool aborted = false;
    for (int i = 0; i < searched; ++i) {
      make_entry(run, entries[i]);
      const int score = search_entry(run, depth, i, searched);
      unmake_entry(run, entries[i]);
      if (w.abort_flag) {
        aborted = true;
        break;
      }
      entries[i].score = score;
      if (score < entries[0].score) std::swap(entries[i], entries[0]);
      if (searched < NARROW_LIST && entries[0].score == 0) break;
    }
    if (aborted) break;
    sort_entries(searched);
    searched = shrink(searched, depth);
    if (options.report) balance_line(run, "", depth, clock_ms() - w.decision_start);
  }
  w.decision_start = clock_ms() - w.decision_start;
  w.iteration_depth = depth - 1;
  decision_memory.last_value = 0;
  BalanceOutcome outcome;
  outcome.depth = w.iteration_depth;
  outcome.count = std::min(searched, BALANCE_KEPT);
  for (int i = 0; i < outcome.count; ++i) outcome.best[i] = choice_of(entries[i]);
  if (!options.report) return outcome;
  if (run.count == 0) {
    log_line("MESSAGE DETAIL (BALANCE) DEPTH:%d-%d |VAL%+d|: no free cell to play TIME:%dms NODE:%dm",
             w.iteration_depth, w.iteration_depth - w.min_remaining_depth, -run.target, w.decision_start,
             static_cast<int>(w.node_count / 1000000));
    return outcome;
  }
  balance_line(run, "(BALANCE) ", w.iteration_depth, w.decision_start);
  return outcome;
}

void balance_one(SearchWorker& w, int32_t target) {
  compute_turn_limit(w);
  run_balance(w, false, target, BalanceOptions{});
}

void balance_two(SearchWorker& w, int32_t target) {
  compute_turn_limit(w);
  run_balance(w, true, target, BalanceOptions{});
}

}  // namespace zerin
