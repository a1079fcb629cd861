#include "threats/four_threat.h"

#include "board/board.h"
#include "board/bookkeeping.h"
#include "board/hash_tables.h"
#include "control/context.h"
#include "control/limits.h"
#include "search/candidate_lists.h"
#include "threats/collectors.h"
#include "threats/forbidden.h"

namespace zerin {

namespace {

inline uint32_t sign_word(int32_t v) { return v < 0 ? 0xFFFFFFFFu : 0u; }

inline ThreatBucket& threat_bucket(int kind, int player, uint64_t key) {
  return threat_hash[kind * 2 + player - 1][static_cast<uint32_t>(key) & static_cast<uint32_t>(threat_allocated - 1)];
}

inline bool entry_matches(const ThreatEntry& e, uint64_t key) {
  return (e.lock_lo ^ static_cast<uint32_t>(e.value)) == static_cast<uint32_t>(key) &&
         (e.lock_hi ^ sign_word(e.value)) == static_cast<uint32_t>(key >> 32);
}

inline uint64_t key_after(const Candidate& q, int player) {
  return board.hash_key ^ zobrist_keys[q.x * MAX_SIDE + q.y][player - 1];
}

int defender_node(int a, int side, int ply, int h, Candidate* list) {
  const int opp = side ^ 3;
  const int found = collect_five_points(list, opp);
  int n = found;
  if (board_rule == 2 && side == 1) {
    // Black may not block on a forbidden cell; the last entry takes its place.
    for (int i = 0; i < n;) {
      if (is_forbidden(list[i].x, list[i].y))
        list[i] = list[--n];
      else
        ++i;
    }
  }
  if (n == 0) {
    // No five point at all: the "four" completes only to an overline, so no threat.
    // Every five point forbidden: black cannot block and loses.
    const int result = found == 0 ? 0 : -(WIN_VALUE + h);
    threat_store(result, h, 1, side);
    return result;
  }
  for (int i = 0; i < n; ++i) {
    const int r = threat_probe(0, h + 1, opp, key_after(list[i], side));
    if (r != HASH_MISS && -r >= 0) {  // this block refutes the attack
      threat_store(-r, h, 1, side);
      return -r;
    }
    const CellSummary& c = cell_summaries[list[i].x][list[i].y];
    const int vb = c.weighted[0], vw = c.weighted[1];
    list[i].score = -((vb > vw ? vb : vw) + (vb < vw ? vb : vw) / 2);
  }
  sort_candidates(list, n);
  int result = 0;
  for (int i = 0; i < n; ++i) {
    place_stone_light(list[i].x, list[i].y, side);
    const int child = four_threat_search(a - 1, opp, 0, ply + 1);
    remove_stone_light(list[i].x, list[i].y, side);
    if (abort_flag) return 0;
    result = -child;
    if (result >= 0) break;
  }
  threat_store(result, h, 1, side);
  return result;
}

int attacker_node(int a, int side, int ply, int h, Candidate* list) {
  const int opp = side ^ 3;
  const int s = side - 1, o = opp - 1;
  const int n = collect_four_points(list, side);
  for (int i = 0; i < n; ++i) {
    const int x = list[i].x, y = list[i].y;
    const int own = cell_summaries[x][y].value_sum[s];
    const int other = cell_summaries[x][y].value_sum[o];
    const int t = star_threat_count(x, y, side);
    int strong_lines = 0;
    for (int d = 0; d < 4; ++d) strong_lines += dir_shapes[x][y][d].code[o] >= 3;
    if ((own < 262 && strong_lines < 2 && other < 46) || (board_rule == 2 && side == 1 && is_forbidden(x, y)) ||
        (t <= 2 && own < 279)) {
      list[i].score = SKIP_SCORE;
      continue;
    }
    const int r = threat_probe(1, h + 1, opp, key_after(list[i], side));
    if (r != HASH_MISS && -r > 0) {  // this four is known to win
      threat_store(-r, h, 0, side);
      return -r;
    }
    list[i].score = -(t * 64 + (other >> 1) + own);
  }
  sort_candidates(list, n);
  for (int i = 0; i < n && list[i].score != SKIP_SCORE; ++i) {
    place_stone_light(list[i].x, list[i].y, side);
    const int child = four_threat_search(a - 1, opp, 1, ply + 1);
    remove_stone_light(list[i].x, list[i].y, side);
    if (abort_flag) return 0;
    if (-child > 0) {
      threat_store(-child, h, 0, side);
      return -child;
    }
  }
  threat_store(0, h, 0, side);
  return 0;
}

}  // namespace

int threat_win_check(int h, int side) {
  const int s = side - 1, o = (side ^ 3) - 1;
  if (threat_sets.set_rows[FIVE_POINTS][s] != 0) return WIN_VALUE + h;
  if (threat_sets.set_rows[FIVE_POINTS][o] != 0) return 0;
  if (threat_sets.set_rows[OPEN_FOUR_POINTS][s] != 0) {
    if (!(board_rule == 2 && side == 1)) return WIN_VALUE + h;
    int x, y;
    first_cell(threat_sets.set_rows[OPEN_FOUR_POINTS][s], threat_sets.row_mask[OPEN_FOUR_POINTS][s], &x, &y);
    return is_forbidden(x, y) ? 0 : WIN_VALUE + h;
  }
  return 0;
}

int threat_probe(int kind, int h, int player, uint64_t key) {
  const ThreatBucket& bucket = threat_bucket(kind, player, key);
  for (const ThreatEntry& e : bucket.entries) {
    if (!entry_matches(e, key)) continue;
    return from_stored(e.value, h);
  }
  return HASH_MISS;
}

void threat_store(int value, int h, int kind, int player) {
  const int v = to_stored(value, h);
  const uint64_t key = board.hash_key;
  const int g = game.count & 0xFFFF;
  hash_tables_clean = false;
  ThreatBucket& bucket = threat_bucket(kind, player, key);
  const ThreatEntry& first = bucket.entries[0];
  const int age = first.generation - g;
  // An entry stored nearer the threat root during this or the previous move survives.
  const bool keep_first = !entry_matches(first, key) && !(first.lock_lo == 0 && first.lock_hi == 0) &&
                          first.level > h && age >= -1 && age <= 1;
  ThreatEntry& e = bucket.entries[keep_first ? 1 : 0];
  e.lock_lo = static_cast<uint32_t>(key) ^ static_cast<uint32_t>(v);
  e.lock_hi = static_cast<uint32_t>(key >> 32) ^ sign_word(v);
  e.value = v;
  e.level = static_cast<int16_t>(h);
  e.generation = static_cast<int16_t>(g);
}

int four_threat_search(int a, int side, int defending, int ply) {
  ++node_count;
  if (a < min_remaining_depth) min_remaining_depth = a;
  if ((node_count & 1023) == 0 && !search_limit_check()) return 0;
  const int index = iteration_depth - a;
  // A threat line can never run deeper than the board has cells; the guard keeps the
  // scratch lists in bounds whatever the caller's depth.
  if (index >= MAX_PLIES - 1) return 0;
  const int h = MAX_CELLS - ply;
  int r = threat_win_check(h, side);
  if (r != 0) return r;
  r = threat_probe(defending, h, side, board.hash_key);
  if (r != HASH_MISS) return r;
  Candidate* list = candidate_lists[index];
  return defending ? defender_node(a, side, ply, h, list) : attacker_node(a, side, ply, h, list);
}

}  // namespace zerin
