#include "threats/four_threat.h"

#include "board/hash_tables.h"
#include "board/patterns.h"
#include "core/check.h"
#include "core/rules.h"
#include "threats/collectors.h"
#include "threats/forbidden.h"

namespace zerin {

namespace {

// An attacker's four is not worth trying when it builds nothing beside itself, falls on
// no lines of the defender's either, and the defender's own value at the cell stays
// below this.
constexpr int DEFENDER_CELL_VALUE = 46;

inline uint64_t key_after(const Board& b, const Candidate& q, int player) {
  return b.hash_key ^ zobrist_keys[q.x * MAX_SIDE + q.y][player - 1];
}

inline void store(ThreatContext& c, int value, int level, ThreatRole role, int player) {
  threat_store(c.board.hash_key, c.game_moves, value, level, role, player);
}

int defender_node(ThreatContext& c, int depth, int side, int ply, int level, Candidate* list) {
  Board& b = c.board;
  const int opp = opponent(side);
  const int found = collect_five_points(b, list, opp);
  int n = found;
  if (b.rule == RULE_RENJU && side == BLACK) {
    // Black may not block on a forbidden cell; the last entry takes its place.
    for (int i = 0; i < n;) {
      if (is_forbidden(b, list[i].x, list[i].y))
        list[i] = list[--n];
      else
        ++i;
    }
  }
  if (n == 0) {
    // No five point at all: the "four" completes only to an overline (or, under Caro, a
    // five blocked at both ends), so no threat.
    // Every five point forbidden: black cannot block and loses.
    const int result = found == 0 ? 0 : -(WIN_VALUE + level);
    store(c, result, level, DEFENDER, side);
    return result;
  }
  for (int i = 0; i < n; ++i) prefetch_threat(ATTACKER, opp, key_after(b, list[i], side));
  for (int i = 0; i < n; ++i) {
    const int r = threat_probe(ATTACKER, level + 1, opp, key_after(b, list[i], side));
    if (r != HASH_MISS && -r >= 0) {  // this block refutes the attack
      store(c, -r, level, DEFENDER, side);
      return -r;
    }
    const CellSummary* cell = b.cell_summaries[list[i].x][list[i].y];
    const int black_weight = cell[0].weighted, white_weight = cell[1].weighted;
    const int larger = black_weight > white_weight ? black_weight : white_weight;
    const int smaller = black_weight < white_weight ? black_weight : white_weight;
    list[i].score = -(larger + smaller / 2);
  }
  sort_candidates(c, list, n);
  int result = 0;
  for (int i = 0; i < n; ++i) {
    place_stone_light(b, list[i].x, list[i].y, side);
    const int child = four_threat_search(c, depth - 1, opp, ATTACKER, ply + 1);
    remove_stone_light(b, list[i].x, list[i].y, side);
    if (c.abort_flag) return 0;
    result = -child;
    if (result >= 0) break;
  }
  store(c, result, level, DEFENDER, side);
  return result;
}

int attacker_node(ThreatContext& c, int depth, int side, int ply, int level, Candidate* list) {
  Board& b = c.board;
  const int opp = opponent(side);
  const int s = player_index(side), o = player_index(opp);
  const int n = collect_four_points(b, list, side);
  for (int i = 0; i < n; ++i) prefetch_threat(DEFENDER, opp, key_after(b, list[i], side));
  for (int i = 0; i < n; ++i) {
    const int x = list[i].x, y = list[i].y;
    const int own = b.cell_summaries[x][y][s].value_sum;
    const int other = b.cell_summaries[x][y][o].value_sum;
    const int threats = star_threat_count(b, x, y, side);
    int strong_lines = 0;
    for (int d = 0; d < 4; ++d) strong_lines += slot_code(b.dir_shapes[x][y][d], o) >= SHAPE_TWO_OR_MORE;
    if ((own < VALUE_FOUR_AND_TWO && strong_lines < 2 && other < DEFENDER_CELL_VALUE) ||
        (b.rule == RULE_RENJU && side == BLACK && is_forbidden(b, x, y)) ||
        (threats <= 2 && own < VALUE_FOUR_AND_THREE)) {
      list[i].score = SKIP_SCORE;
      continue;
    }
    const int r = threat_probe(DEFENDER, level + 1, opp, key_after(b, list[i], side));
    if (r != HASH_MISS && -r > 0) {  // this four is known to win
      store(c, -r, level, ATTACKER, side);
      return -r;
    }
    list[i].score = -(threats * 64 + (other >> 1) + own);
  }
  sort_candidates(c, list, n);
  for (int i = 0; i < n && list[i].score != SKIP_SCORE; ++i) {
    place_stone_light(b, list[i].x, list[i].y, side);
    const int child = four_threat_search(c, depth - 1, opp, DEFENDER, ply + 1);
    remove_stone_light(b, list[i].x, list[i].y, side);
    if (c.abort_flag) return 0;
    if (-child > 0) {
      store(c, -child, level, ATTACKER, side);
      return -child;
    }
  }
  store(c, 0, level, ATTACKER, side);
  return 0;
}

}  // namespace

int threat_win_check(Board& b, int level, int side) {
  const int s = player_index(side), o = player_index(opponent(side));
  const ThreatSets& t = b.threat_sets;
  if (t.set_rows[FIVE_POINTS][s] != 0) return WIN_VALUE + level;
  if (t.set_rows[FIVE_POINTS][o] != 0) return 0;
  if (t.set_rows[OPEN_FOUR_POINTS][s] != 0) {
    if (!(b.rule == RULE_RENJU && side == BLACK)) return WIN_VALUE + level;
    int x, y;
    first_cell(t.set_rows[OPEN_FOUR_POINTS][s], t.row_mask[OPEN_FOUR_POINTS][s], &x, &y);
    return is_forbidden(b, x, y) ? 0 : WIN_VALUE + level;
  }
  return 0;
}

int four_threat_search(ThreatContext& c, int depth, int side, ThreatRole role, int ply) {
  ++c.node_count;
  if (depth < c.min_remaining_depth) c.min_remaining_depth = depth;
  if ((static_cast<uint32_t>(c.node_count) & c.limit_test_mask) == 0 && !search_limit_check(c)) return 0;
  const int index = c.iteration_depth - depth;
  expect([&] { return index >= 0; }, "the threat search runs below the node that calls it");
  // A threat line can never run deeper than the board has cells; the guard keeps the
  // scratch lists in bounds whatever the caller's depth.
  if (index >= MAX_PLIES - 1) return 0;
  const int level = MAX_CELLS - ply;
  int r = threat_win_check(c.board, level, side);
  if (r != 0) return r;
  r = threat_probe(role, level, side, c.board.hash_key);
  if (r != HASH_MISS) return r;
  Candidate* list = c.lists[index];
  return role == DEFENDER ? defender_node(c, depth, side, ply, level, list)
                          : attacker_node(c, depth, side, ply, level, list);
}

}  // namespace zerin
