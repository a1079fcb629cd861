#include "threats/evaluation.h"

#include <cstring>

#include "board/board.h"
#include "board/bookkeeping.h"
#include "control/context.h"
#include "search/candidate_lists.h"
#include "threats/collectors.h"
#include "threats/forbidden.h"

namespace zerin {

uint64_t evaluation_stamps[MAX_CELLS];
uint64_t evaluation_counter = 0;

namespace {

constexpr int WON_POSITION = 9999994;

inline bool marked(const int32_t* rows, int x, int y) { return (rows[x] >> y) & 1; }

// Penalty (or bonus) for a white threat cell that black may not take.
inline int forbidden_cell_weight(int x, int y) { return cell_summaries[x][y].value_sum[0] < 158 ? 200 : 120; }

// Directions covered by a player's five points and open-four points together.
int32_t winning_directions(int p) {
  int32_t dirs = 0;
  for (int kind = FIVE_POINTS; kind <= OPEN_FOUR_POINTS; ++kind) {
    const int32_t* rows = threat_sets.row_mask[kind][p];
    const auto& dir_mask = threat_sets.dir_mask[kind][p];
    for_each_cell(threat_sets.set_rows[kind][p], [rows](int x) { return rows[x]; },
                  [&](int x, int y) { dirs |= dir_mask[x][y]; });
  }
  return dirs;
}

}  // namespace

int evaluate_position(int a, int side) {
  const int opp = side ^ 3;
  const int s = side - 1, o = opp - 1;
  const bool renju = board_rule == 2;
  int32_t forbidden_rows[MAX_SIDE] = {};
  int value = eval_total[s] - eval_total[o];
  ++evaluation_counter;
  Candidate* list = scratch_list(iteration_depth, a);

  // The side's own four and three points.
  int n = collect_four_points(list, side);
  n += collect_three_points(list + n, side);
  if (renju && side == 1)
    for (int i = 0; i < n; ++i)
      if (is_forbidden(list[i].x, list[i].y)) forbidden_rows[list[i].x] |= 1 << list[i].y;
  const bool opponent_quiet = threat_sets.set_rows[FIVE_POINTS][o] == 0 &&
                              threat_sets.set_rows[OPEN_FOUR_POINTS][o] == 0 &&
                              threat_sets.set_rows[FOUR_POINTS][o] == 0;
  for (int i = 0; i < n; ++i) {
    const int x = list[i].x, y = list[i].y;
    if (opponent_quiet) {
      // Met twice: both a four point and a three point, a won four-three in free-style.
      uint64_t& stamp = evaluation_stamps[x * MAX_SIDE + y];
      if (stamp == evaluation_counter && board_rule == 0) return WON_POSITION;
      stamp = evaluation_counter;
    }
    if (renju && side == 1 && marked(forbidden_rows, x, y)) continue;
    const int count = star_count(x, y, side, forbidden_rows);
    const int w = threat_sets.dir_mask[FOUR_POINTS][s][x][y] != 0 ? count - 1 : count - 2;
    value += cell_summaries[x][y].room_sum[s] * w * 20 / 32;
    if (renju && side == 2 && is_forbidden(x, y)) value += forbidden_cell_weight(x, y);
  }

  // The opponent's four and three points.
  const int m = collect_four_points(list, opp);
  const int m_total = m + collect_three_points(list + m, opp);
  if (m_total >= 1) value += 100;
  if (renju) {
    std::memset(forbidden_rows, 0, sizeof forbidden_rows);
    if (side == 2 && m_total >= 1) {
      bool all_forbidden = true;
      for (int i = 0; i < m_total; ++i) {
        if (is_forbidden(list[i].x, list[i].y))
          forbidden_rows[list[i].x] |= 1 << list[i].y;
        else
          all_forbidden = false;
      }
      if (all_forbidden) value -= 100;
    }
  }
  for (int i = 0; i < m_total; ++i) {
    const int x = list[i].x, y = list[i].y;
    if (renju && side == 2 && marked(forbidden_rows, x, y)) continue;
    const int count = star_count(x, y, opp, forbidden_rows);
    const int w = threat_sets.dir_mask[FOUR_POINTS][o][x][y] != 0 ? 1 - count : 2 - count;
    value += cell_summaries[x][y].room_sum[o] * w * 20 / 32;
    if (renju && side == 1 && is_forbidden(x, y)) value -= forbidden_cell_weight(x, y);
  }

  // The opponent's most urgent cell.
  int k = collect_five_points(list, opp);
  if (k == 0) k = collect_open_four_points(list, opp);
  if (k > 0) value += cell_summaries[list[0].x][list[0].y].room_sum[o] * 50 / 32;

  // Winning threats spread over two or more directions.
  if (bit_count(static_cast<uint32_t>(winning_directions(o))) >= 2) value -= 200;
  if (bit_count(static_cast<uint32_t>(winning_directions(s))) >= 2) value += 200;
  return value + 60;
}

}  // namespace zerin
