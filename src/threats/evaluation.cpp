#include "threats/evaluation.h"

#include <cstring>

#include "core/rules.h"
#include "threats/collectors.h"
#include "threats/forbidden.h"

namespace zerin {

namespace {

constexpr int WON_POSITION = WIN_VALUE - 6;  // a four-three in free-style, found without a search

inline bool marked(const int32_t* rows, int x, int y) { return (rows[x] >> y) & 1; }

// Penalty (or bonus) for a white threat cell that black may not take.
inline int forbidden_cell_weight(const Board& b, int x, int y) {
  return b.cell_summaries[x][y][0].value_sum < 158 ? 200 : 120;
}

// Directions covered by a player's five points and open-four points together.
int32_t winning_directions(const Board& b, int p) {
  int32_t dirs = 0;
  for (int kind = FIVE_POINTS; kind <= OPEN_FOUR_POINTS; ++kind) {
    const int32_t* rows = b.threat_sets.row_mask[kind][p];
    const auto& dir_mask = b.threat_sets.dir_mask[kind][p];
    for_each_cell(b.threat_sets.set_rows[kind][p], [rows](int x) { return rows[x]; },
                  [&](int x, int y) { dirs |= dir_mask[x][y]; });
  }
  return dirs;
}

}  // namespace

int evaluate_position(ThreatContext& c, int depth, int side) {
  Board& b = c.board;
  const int opp = opponent(side);
  const int s = player_index(side), o = player_index(opp);
  const bool renju = b.rule == RULE_RENJU;
  int32_t forbidden_rows[MAX_SIDE] = {};
  int value = b.eval_total[s] - b.eval_total[o];
  ++c.evaluation_counter;
  Candidate* list = c.scratch_list(depth);

  // The side's own four and three points.
  int n = collect_four_points(b, list, side);
  n += collect_three_points(b, list + n, side);
  if (renju && side == BLACK)
    for (int i = 0; i < n; ++i)
      if (is_forbidden(b, list[i].x, list[i].y)) forbidden_rows[list[i].x] |= 1 << list[i].y;
  const bool opponent_quiet = b.threat_sets.set_rows[FIVE_POINTS][o] == 0 &&
                              b.threat_sets.set_rows[OPEN_FOUR_POINTS][o] == 0 &&
                              b.threat_sets.set_rows[FOUR_POINTS][o] == 0;
  for (int i = 0; i < n; ++i) {
    const int x = list[i].x, y = list[i].y;
    if (opponent_quiet) {
      // Met twice: both a four point and a three point, a won four-three in free-style.
      uint64_t& stamp = c.evaluation_stamps[x * MAX_SIDE + y];
      if (stamp == c.evaluation_counter && b.rule == RULE_FREESTYLE) return WON_POSITION;
      stamp = c.evaluation_counter;
    }
    if (renju && side == BLACK && marked(forbidden_rows, x, y)) continue;
    const int count = star_count(b, x, y, side, forbidden_rows);
    const int w = b.threat_sets.dir_mask[FOUR_POINTS][s][x][y] != 0 ? count - 1 : count - 2;
    value += b.cell_summaries[x][y][s].room_sum * w * 20 / 32;
    if (renju && side == WHITE && is_forbidden(b, x, y)) value += forbidden_cell_weight(b, x, y);
  }

  // The opponent's four and three points.
  const int m = collect_four_points(b, list, opp);
  const int m_total = m + collect_three_points(b, list + m, opp);
  if (m_total >= 1) value += 100;
  if (renju) {
    std::memset(forbidden_rows, 0, sizeof forbidden_rows);
    if (side == WHITE && m_total >= 1) {
      bool all_forbidden = true;
      for (int i = 0; i < m_total; ++i) {
        if (is_forbidden(b, list[i].x, list[i].y))
          forbidden_rows[list[i].x] |= 1 << list[i].y;
        else
          all_forbidden = false;
      }
      if (all_forbidden) value -= 100;
    }
  }
  for (int i = 0; i < m_total; ++i) {
    const int x = list[i].x, y = list[i].y;
    if (renju && side == WHITE && marked(forbidden_rows, x, y)) continue;
    const int count = star_count(b, x, y, opp, forbidden_rows);
    const int w = b.threat_sets.dir_mask[FOUR_POINTS][o][x][y] != 0 ? 1 - count : 2 - count;
    value += b.cell_summaries[x][y][o].room_sum * w * 20 / 32;
    if (renju && side == BLACK && is_forbidden(b, x, y)) value -= forbidden_cell_weight(b, x, y);
  }

  // The opponent's most urgent cell.
  int k = collect_five_points(b, list, opp);
  if (k == 0) k = collect_open_four_points(b, list, opp);
  if (k > 0) value += b.cell_summaries[list[0].x][list[0].y][o].room_sum * 50 / 32;

  // Winning threats spread over two or more directions.
  if (bit_count(static_cast<uint32_t>(winning_directions(b, o))) >= 2) value -= 200;
  if (bit_count(static_cast<uint32_t>(winning_directions(b, s))) >= 2) value += 200;
  return value + 60;
}

}  // namespace zerin
