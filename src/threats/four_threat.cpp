#include "threats/four_threat.h"

#include "board/hash_tables.h"
#include "core/rules.h"
#include "threats/collectors.h"
#include "threats/forbidden.h"

namespace zerin {

namespace {

// The threat table's two kinds of entry.
constexpr int ATTACKER_ENTRY = 0;  // the attacker to move: does a four win?
constexpr int DEFENDER_ENTRY = 1;  // the defender to move, facing a four

// Thresholds of the attacker's four points worth trying (value sums of the cell).
constexpr int STRONG_FOUR_VALUE = 262;   // a four that also builds on other lines
constexpr int DOUBLE_FOUR_VALUE = 279;   // as good as two threats at once
constexpr int DEFENDER_LINES_VALUE = 46; // the defender's own value at the cell

inline uint64_t key_after(const Board& b, const Candidate& q, int player) {
  return b.hash_key ^ zobrist_keys[q.x * MAX_SIDE + q.y][player - 1];
}

inline void store(ThreatContext& c, int value, int h, int kind, int player) {
  threat_store(c.board.hash_key, c.game_moves, value, h, kind, player);
}

int defender_node(ThreatContext& c, int a, int side, int ply, int h, Candidate* list) {
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
    // No five point at all: the "four" completes only to an overline, so no threat.
    // Every five point forbidden: black cannot block and loses.
    const int result = found == 0 ? 0 : -(WIN_VALUE + h);
    store(c, result, h, DEFENDER_ENTRY, side);
    return result;
  }
  for (int i = 0; i < n; ++i) {
    const int r = threat_probe(ATTACKER_ENTRY, h + 1, opp, key_after(b, list[i], side));
    if (r != HASH_MISS && -r >= 0) {  // this block refutes the attack
      store(c, -r, h, DEFENDER_ENTRY, side);
      return -r;
    }
    const CellSummary& cell = b.cell_summaries[list[i].x][list[i].y];
    const int black_weight = cell.weighted[0], white_weight = cell.weighted[1];
    const int larger = black_weight > white_weight ? black_weight : white_weight;
    const int smaller = black_weight < white_weight ? black_weight : white_weight;
    list[i].score = -(larger + smaller / 2);
  }
  sort_candidates(c, list, n);
  int result = 0;
  for (int i = 0; i < n; ++i) {
    place_stone_light(b, list[i].x, list[i].y, side);
    const int child = four_threat_search(c, a - 1, opp, 0, ply + 1);
    remove_stone_light(b, list[i].x, list[i].y, side);
    if (c.abort_flag) return 0;
    result = -child;
    if (result >= 0) break;
  }
  store(c, result, h, DEFENDER_ENTRY, side);
  return result;
}

int attacker_node(ThreatContext& c, int a, int side, int ply, int h, Candidate* list) {
  Board& b = c.board;
  const int opp = opponent(side);
  const int s = player_index(side), o = player_index(opp);
  const int n = collect_four_points(b, list, side);
  for (int i = 0; i < n; ++i) {
    const int x = list[i].x, y = list[i].y;
    const int own = b.cell_summaries[x][y].value_sum[s];
    const int other = b.cell_summaries[x][y].value_sum[o];
    const int threats = star_threat_count(b, x, y, side);
    int strong_lines = 0;
    for (int d = 0; d < 4; ++d) strong_lines += b.dir_shapes[x][y][d].code[o] >= 3;
    if ((own < STRONG_FOUR_VALUE && strong_lines < 2 && other < DEFENDER_LINES_VALUE) ||
        (b.rule == RULE_RENJU && side == BLACK && is_forbidden(b, x, y)) || (threats <= 2 && own < DOUBLE_FOUR_VALUE)) {
      list[i].score = SKIP_SCORE;
      continue;
    }
    const int r = threat_probe(DEFENDER_ENTRY, h + 1, opp, key_after(b, list[i], side));
    if (r != HASH_MISS && -r > 0) {  // this four is known to win
      store(c, -r, h, ATTACKER_ENTRY, side);
      return -r;
    }
    list[i].score = -(threats * 64 + (other >> 1) + own);
  }
  sort_candidates(c, list, n);
  for (int i = 0; i < n && list[i].score != SKIP_SCORE; ++i) {
    place_stone_light(b, list[i].x, list[i].y, side);
    const int child = four_threat_search(c, a - 1, opp, 1, ply + 1);
    remove_stone_light(b, list[i].x, list[i].y, side);
    if (c.abort_flag) return 0;
    if (-child > 0) {
      store(c, -child, h, ATTACKER_ENTRY, side);
      return -child;
    }
  }
  store(c, 0, h, ATTACKER_ENTRY, side);
  return 0;
}

}  // namespace

int threat_win_check(Board& b, int h, int side) {
  const int s = player_index(side), o = player_index(opponent(side));
  const ThreatSets& t = b.threat_sets;
  if (t.set_rows[FIVE_POINTS][s] != 0) return WIN_VALUE + h;
  if (t.set_rows[FIVE_POINTS][o] != 0) return 0;
  if (t.set_rows[OPEN_FOUR_POINTS][s] != 0) {
    if (!(b.rule == RULE_RENJU && side == BLACK)) return WIN_VALUE + h;
    int x, y;
    first_cell(t.set_rows[OPEN_FOUR_POINTS][s], t.row_mask[OPEN_FOUR_POINTS][s], &x, &y);
    return is_forbidden(b, x, y) ? 0 : WIN_VALUE + h;
  }
  return 0;
}

int four_threat_search(ThreatContext& c, int a, int side, int defending, int ply) {
  ++c.node_count;
  if (a < c.min_remaining_depth) c.min_remaining_depth = a;
  if ((c.node_count & 1023) == 0 && !search_limit_check(c)) return 0;
  const int index = c.iteration_depth - a;
  // A threat line can never run deeper than the board has cells; the guard keeps the
  // scratch lists in bounds whatever the caller's depth.
  if (index >= MAX_PLIES - 1) return 0;
  const int h = MAX_CELLS - ply;
  int r = threat_win_check(c.board, h, side);
  if (r != 0) return r;
  r = threat_probe(defending, h, side, c.board.hash_key);
  if (r != HASH_MISS) return r;
  Candidate* list = c.lists[index];
  return defending ? defender_node(c, a, side, ply, h, list) : attacker_node(c, a, side, ply, h, list);
}

}  // namespace zerin
