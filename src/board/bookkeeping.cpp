#include "board/bookkeeping.h"

#include <cstring>

#include "board/board.h"
#include "board/patterns.h"
#include "core/rules.h"

namespace zerin {

namespace {

// Threat kind 0..3 of a shape code, or -1.
constexpr int8_t KIND_OF_CODE[16] = {-1, -1, -1, -1, -1, -1, -1, THREE_POINTS, THREE_POINTS,
                                     FOUR_POINTS, FOUR_POINTS, OPEN_FOUR_POINTS, FIVE_POINTS,
                                     -1, -1, -1};

inline bool room_counts(const CellSummary& c, int p) { return c.room_sum[p] >= 25 && c.value_sum[p] >= 6; }

// The combination correction of the cell's four codes for player index p, with
// direction d's code taken as `code`.
inline int16_t combo_with(const Board& b, int x, int y, int p, int d, int code) {
  const DirShape* s = b.dir_shapes[x][y];
  const int index = s[0].code[p] << 12 | s[1].code[p] << 8 | s[2].code[p] << 4 | s[3].code[p];
  const int shift = 12 - 4 * d;
  return (&combo_table[p][0][0][0][0])[(index & ~(15 << shift)) | code << shift];
}

// The cell's bit in the row mask of a kind, and the row's bit in its set of rows.
inline void clear_cell_bit(Board& b, int kind, int p, int x, int y) {
  int32_t& rm = b.threat_sets.row_mask[kind][p][x];
  rm &= ~(1 << y);
  if (rm == 0) b.threat_sets.set_rows[kind][p] &= ~(1 << x);
}

inline void set_cell_bit(Board& b, int kind, int p, int x, int y) {
  b.threat_sets.row_mask[kind][p][x] |= 1 << y;
  b.threat_sets.set_rows[kind][p] |= 1 << x;
}

// A direction's bit of a kind: the cell leaves the kind when its last direction does.
inline void clear_kind_bit(Board& b, int kind, int d, int p, int x, int y) {
  int32_t& dm = b.threat_sets.dir_mask[kind][p][x][y];
  dm &= ~(1 << d);
  if (dm == 0) clear_cell_bit(b, kind, p, x, y);
}

inline void set_kind_bit(Board& b, int kind, int d, int p, int x, int y) {
  b.threat_sets.dir_mask[kind][p][x][y] |= 1 << d;
  set_cell_bit(b, kind, p, x, y);
}

inline void log_change(Board& b, int d, int x, int y, int p) {
  UndoJournal& j = b.journal;
  const DirShape& s = b.dir_shapes[x][y][d];
  const CellSummary& c = b.cell_summaries[x][y];
  j.changes[j.change_count++] =
      SlotChange{static_cast<uint8_t>(x), static_cast<uint8_t>(y), static_cast<uint8_t>(d), static_cast<uint8_t>(p),
                 s.code[p],       s.room[p],        c.value_sum[p],        c.combo[p],
                 c.room_sum[p],   c.weighted[p]};
}

// Gives cell (x, y) the code and room `code`, `room` along direction d for player index
// p, with value_sum moved by value_change, and keeps the totals and threat sets in step:
// the cell's old terms come out and its new terms go in. Terms that are the same before
// and after (the same threat kind, the same side of the double-threat value) are left
// where they are, since taking them out and putting them back changes nothing. The light
// version leaves the double-threat points alone. LOG: a placement's change, saved in the
// journal first.
template <bool LIGHT, bool LOG>
inline __attribute__((always_inline)) void change_code(Board& b, int d, int x, int y, int p, int code, int room,
                                                        int value_change) {
  if (LOG) log_change(b, d, x, y, p);
  CellSummary& c = b.cell_summaries[x][y];
  DirShape& s = b.dir_shapes[x][y][d];
  const int16_t correction = combo_with(b, x, y, p, d, code);
  const int16_t old_value = c.value_sum[p];
  const int16_t new_value = static_cast<int16_t>(old_value + value_change);
  const int16_t new_rooms = static_cast<int16_t>(c.room_sum[p] + room - s.room[p]);
  if (room_counts(c, p)) b.room_total[p] -= c.room_sum[p];
  const int old_kind = KIND_OF_CODE[s.code[p]], new_kind = KIND_OF_CODE[code];
  c.value_sum[p] = new_value;
  c.room_sum[p] = new_rooms;
  s.code[p] = static_cast<int16_t>(code);
  s.room[p] = static_cast<int16_t>(room);
  c.combo[p] = static_cast<int16_t>(new_value + correction);
  if (room_counts(c, p)) b.room_total[p] += new_rooms;
  const int16_t weighted = static_cast<int16_t>(static_cast<int32_t>(new_rooms) * c.combo[p] / 32);
  b.eval_total[p] += weighted - c.weighted[p];
  c.weighted[p] = weighted;
  if (old_kind != new_kind) {
    if (old_kind >= 0) clear_kind_bit(b, old_kind, d, p, x, y);
    if (new_kind >= 0) set_kind_bit(b, new_kind, d, p, x, y);
  }
  if (!LIGHT) {
    const bool was_double = old_value >= DOUBLE_THREAT_VALUE, is_double = new_value >= DOUBLE_THREAT_VALUE;
    if (was_double && !is_double)
      clear_cell_bit(b, DOUBLE_THREAT_POINTS, p, x, y);
    else if (is_double && !was_double)
      set_cell_bit(b, DOUBLE_THREAT_POINTS, p, x, y);
  }
}

// Puts back what change_code overwrote. The kinds and the double-threat point follow the
// codes and values (full changes keep them so), so they are moved back the same way.
template <bool LIGHT>
inline void undo_change(Board& b, const SlotChange& r) {
  const int x = r.x, y = r.y, d = r.d, p = r.p;
  DirShape& s = b.dir_shapes[x][y][d];
  CellSummary& c = b.cell_summaries[x][y];
  const int now_kind = KIND_OF_CODE[s.code[p]], old_kind = KIND_OF_CODE[r.code];
  if (now_kind != old_kind) {
    if (now_kind >= 0) clear_kind_bit(b, now_kind, d, p, x, y);
    if (old_kind >= 0) set_kind_bit(b, old_kind, d, p, x, y);
  }
  if (!LIGHT) {
    const bool is_double = c.value_sum[p] >= DOUBLE_THREAT_VALUE, was_double = r.value_sum >= DOUBLE_THREAT_VALUE;
    if (is_double && !was_double)
      clear_cell_bit(b, DOUBLE_THREAT_POINTS, p, x, y);
    else if (was_double && !is_double)
      set_cell_bit(b, DOUBLE_THREAT_POINTS, p, x, y);
  }
  s.code[p] = r.code;
  s.room[p] = r.room;
  c.value_sum[p] = r.value_sum;
  c.combo[p] = r.combo;
  c.room_sum[p] = r.room_sum;
  c.weighted[p] = r.weighted;
}

// Sets a corrected code, lowering value_sum by the shape values' difference.
template <bool LIGHT, bool LOG>
void correct_code(Board& b, int x, int y, int d, int p, int code, int value_drop) {
  change_code<LIGHT, LOG>(b, d, x, y, p, code, b.dir_shapes[x][y][d].room[p], -value_drop);
}

// Player 1's fives and open fours are judged under rules 1 and 2 (and any other non-zero
// rule), player 2's only under the standard rule.
inline bool judged(int rule, int p) { return p == 0 ? rule != RULE_FREESTYLE : rule == RULE_STANDARD; }

inline bool judged_code(int code) { return code == SHAPE_OPEN_FOUR || code == SHAPE_FIVE; }

// Under rules 1 and 2 a window's five may be an overline seen from outside the window,
// and an open four may have an end that would make six. Whether it corrected the code.
template <bool LIGHT, bool LOG>
bool check_five_rule(Board& b, int x, int y, int d, int player) {
  const int p = player - 1;
  const int dx = DIR_DX[d], dy = DIR_DY[d];
  if (b.dir_shapes[x][y][d].code[p] == SHAPE_FIVE) {
    const bool overline =
        (!holds_stone(b, x - dx, y - dy, player) && holds_stone(b, x + 5 * dx, y + 5 * dy, player)) ||
        (!holds_stone(b, x + dx, y + dy, player) && holds_stone(b, x - 5 * dx, y - 5 * dy, player));
    if (!overline) return false;
    correct_code<LIGHT, LOG>(b, x, y, d, p, SHAPE_OVERLINE, shape_value[SHAPE_FIVE]);
    return true;
  }
  if (is_true_open_four(b, x, y, d, player)) return false;
  correct_code<LIGHT, LOG>(b, x, y, d, p, SHAPE_FOUR, shape_value[SHAPE_OPEN_FOUR] - shape_value[SHAPE_FOUR]);
  return true;
}

// Re-reads cell (x, y)'s window e along direction d; s is its DirShape for d.
template <bool LIGHT, bool LOG>
inline void refresh_cell(Board& b, int d, int x, int y, uint16_t e, DirShape& s) {
  const int code0 = packed_code(e, 0), code1 = packed_code(e, 1);
  // Most visits change nothing: both codes as before, and no five or open four that the
  // rule would have to look at again.
  if (code0 == s.code[0] && code1 == s.code[1]) {
    if (b.rule == RULE_FREESTYLE) return;
    const bool check_first = judged_code(s.code[0]);
    const bool check_second = b.rule == RULE_STANDARD && judged_code(s.code[1]);
    if (check_first) check_five_rule<LIGHT, LOG>(b, x, y, d, 1);
    if (check_second) check_five_rule<LIGHT, LOG>(b, x, y, d, 2);
    return;
  }
  for (int p = 0; p < 2; ++p) {
    const int code = packed_code(e, p);
    if (code != s.code[p])
      change_code<LIGHT, LOG>(b, d, x, y, p, code, packed_room(e, p), shape_value[code] - shape_value[s.code[p]]);
    if (judged(b.rule, p) && judged_code(s.code[p])) check_five_rule<LIGHT, LOG>(b, x, y, d, p + 1);
  }
}

// After a placement's visit to a slot (was: the slot before it, s: after it), what the
// take-back's visit will find: the window without the stone, `back`. Where that would
// give the slot other values than `was`, or have the rule judge it, a fixup records it.
inline void foresee_take_back(Board& b, int d, int x, int y, uint16_t back, const DirShape& was, const DirShape& s) {
  SlotFixup f;
  int set = 0, judge = 0;
  for (int p = 0; p < 2; ++p) {
    const int code = packed_code(back, p);
    const bool refreshed = code != s.code[p];
    f.code[p] = refreshed ? static_cast<int16_t>(code) : s.code[p];
    f.room[p] = refreshed ? static_cast<int16_t>(packed_room(back, p)) : s.room[p];
    if (f.code[p] != was.code[p] || f.room[p] != was.room[p]) set |= 1 << p;
    if (judged(b.rule, p) && judged_code(f.code[p])) judge |= 1 << p;
  }
  if ((set | judge) == 0) return;
  f.x = static_cast<uint8_t>(x);
  f.y = static_cast<uint8_t>(y);
  f.d = static_cast<uint8_t>(d);
  f.set = static_cast<uint8_t>(set) & 3;
  f.judge = static_cast<uint8_t>(judge) & 3;
  UndoJournal& j = b.journal;
  j.fixups[j.fixup_count++] = f;
}

// A fixup at the take-back, on the records as they were before the placement. Whether
// it changed them.
template <bool LIGHT>
inline bool apply_fixup(Board& b, const SlotFixup& f) {
  const int x = f.x, y = f.y, d = f.d;
  bool changed = false;
  for (int p = 0; p < 2; ++p) {
    if (f.set >> p & 1) {
      const int now = b.dir_shapes[x][y][d].code[p];
      change_code<LIGHT, false>(b, d, x, y, p, f.code[p], f.room[p], shape_value[f.code[p]] - shape_value[now]);
      changed = true;
    }
    if (f.judge >> p & 1) changed |= check_five_rule<LIGHT, false>(b, x, y, d, p + 1);
  }
  return changed;
}

inline int min3(int a, int b, int c) { return a < b ? (a < c ? a : c) : (b < c ? b : c); }
inline int max3(int a, int b, int c) { return a > b ? (a > c ? a : c) : (b > c ? b : c); }

// Visits the cells within b.pattern_radius of (x, y) along direction d that lie on the
// board, in line order. They form one run along the line, and their positions in the
// line word are consecutive, so the window slides by one cell per step. PLACING: the
// visit of a journaled placement, which logs its changes and foresees its take-back
// from the line word without the stone.
template <bool LIGHT, bool PLACING>
void update_line_impl(Board& b, int d, int x, int y) {
  const int r = b.pattern_radius;
  const int h = b.height, w = b.width;
  int lo, hi;
  switch (d) {
    case 0:  // (x, y + i)
      lo = -(y < r ? y : r);
      hi = min3(r, w - 1 - y, r);
      break;
    case 1:  // (x + i, y)
      lo = -(x < r ? x : r);
      hi = min3(r, h - 1 - x, r);
      break;
    case 2:  // (x - i, y + i)
      lo = max3(-r, x - (h - 1), -y);
      hi = min3(r, x, w - 1 - y);
      break;
    default:  // (x + i, y + i)
      lo = max3(-r, -x, -y);
      hi = min3(r, h - 1 - x, w - 1 - y);
      break;
  }
  if (lo > hi) return;
  const int dx = DIR_DX[d], dy = DIR_DY[d];
  const int position = line_position(d, x, y);
  const uint64_t line = b.lines[d][line_word(b, d, x, y)];
  uint64_t window = line >> (2 * (position + lo));
  uint64_t window_back = (line & ~(uint64_t{3} << (2 * position + 8))) >> (2 * (position + lo));
  int cx = x + lo * dx, cy = y + lo * dy;
  for (int i = lo; i <= hi; ++i, cx += dx, cy += dy, window >>= 2, window_back >>= 2) {
    DirShape& s = b.dir_shapes[cx][cy][d];
    const uint16_t e = packed_patterns[window & 0x3FFFF];
    if (PLACING) {
      const DirShape was = s;
      refresh_cell<LIGHT, true>(b, d, cx, cy, e, s);
      foresee_take_back(b, d, cx, cy, packed_patterns[window_back & 0x3FFFF], was, s);
    } else {
      refresh_cell<LIGHT, false>(b, d, cx, cy, e, s);
    }
  }
}

// A board-wide look at the double-threat points after light stones whose take-backs
// changed values: one whose value crossed DOUBLE_THREAT_VALUE for good now disagrees.
void check_double_points(Board& b) {
  UndoJournal& j = b.journal;
  for (int x = 0; x < b.size && j.double_points_exact; ++x)
    for (int y = 0; y < b.size; ++y)
      for (int p = 0; p < 2; ++p) {
        const bool bit = b.threat_sets.row_mask[DOUBLE_THREAT_POINTS][p][x] >> y & 1;
        if (bit != (b.cell_summaries[x][y].value_sum[p] >= DOUBLE_THREAT_VALUE)) j.double_points_exact = false;
      }
}

template <bool LIGHT>
void place_bookkeeping_impl(Board& b, int x, int y, int who) {
  UndoJournal& j = b.journal;
  if (LIGHT) {
    if (j.light_depth++ == 0) j.light_changed = false;
  } else if (j.light_depth > 0) {
    j.double_points_exact = false;  // values under light stones that the bits do not follow
  }
  if (!j.enabled) {
    for (int d = 0; d < 4; ++d) update_line_impl<LIGHT, false>(b, d, x, y);
    return;
  }
  if (j.entry_count == JOURNAL_ENTRIES || j.change_count > JOURNAL_CHANGES - PLACEMENT_CHANGES ||
      j.fixup_count > JOURNAL_FIXUPS - PLACEMENT_FIXUPS)
    j.entry_count = j.change_count = j.fixup_count = 0;  // full: the stones down work their take-backs out
  JournalEntry& e = j.entries[j.entry_count++];
  e.x = static_cast<uint8_t>(x);
  e.y = static_cast<uint8_t>(y);
  e.who = static_cast<uint8_t>(who);
  e.light = LIGHT;
  e.epoch = j.epoch;
  e.eval_total[0] = b.eval_total[0];
  e.eval_total[1] = b.eval_total[1];
  e.room_total[0] = b.room_total[0];
  e.room_total[1] = b.room_total[1];
  e.first_change = j.change_count;
  e.first_fixup = j.fixup_count;
  for (int d = 0; d < 4; ++d) update_line_impl<LIGHT, true>(b, d, x, y);
}

// The records put back as the entry saved them, then its fixups. Whether the fixups
// changed anything.
template <bool LIGHT>
bool restore_entry(Board& b, const JournalEntry& e) {
  UndoJournal& j = b.journal;
  for (int i = j.change_count - 1; i >= e.first_change; --i) undo_change<LIGHT>(b, j.changes[i]);
  b.eval_total[0] = e.eval_total[0];
  b.eval_total[1] = e.eval_total[1];
  b.room_total[0] = e.room_total[0];
  b.room_total[1] = e.room_total[1];
  bool changed = false;
  for (int i = e.first_fixup; i < j.fixup_count; ++i) changed |= apply_fixup<LIGHT>(b, j.fixups[i]);
  return changed;
}

template <bool LIGHT>
void remove_bookkeeping_impl(Board& b, int x, int y, int who) {
  UndoJournal& j = b.journal;
  bool restored = false, changed = true;
  if (j.entry_count > 0) {
    const JournalEntry& e = j.entries[j.entry_count - 1];
    if (e.x == x && e.y == y && e.who == who && e.light == LIGHT) {
      if (e.epoch == j.epoch && (LIGHT || j.double_points_exact)) {
        changed = restore_entry<LIGHT>(b, e);
        restored = true;
      }
      --j.entry_count;
      j.change_count = e.first_change;
      j.fixup_count = e.first_fixup;
    } else {
      j.entry_count = j.change_count = j.fixup_count = 0;  // a stone lifted out of order
    }
  }
  if (!restored)
    for (int d = 0; d < 4; ++d) update_line_impl<LIGHT, false>(b, d, x, y);
  if (changed) ++j.epoch;
  if (LIGHT) {
    j.light_changed |= changed;
    if (j.light_depth > 0 && --j.light_depth == 0 && j.light_changed && j.double_points_exact) check_double_points(b);
  }
}

// Cells on the n by n square from (x, y) stepping (dx, dy), up to four.
int room_along(int x, int y, int dx, int dy, int n) {
  int count = 0;
  for (int i = 1; i <= 4; ++i) {
    const int cx = x + i * dx, cy = y + i * dy;
    if (cx < 0 || cx >= n || cy < 0 || cy >= n) break;
    ++count;
  }
  return count;
}

int start_room_straight(int v, int n) {
  if (v < 4) return v + 4;
  if (v >= n - 4) return n - v + 3;
  return 8;
}

}  // namespace

void place_bookkeeping(Board& b, int x, int y, int who) { place_bookkeeping_impl<false>(b, x, y, who); }
void place_bookkeeping_light(Board& b, int x, int y, int who) { place_bookkeeping_impl<true>(b, x, y, who); }
void remove_bookkeeping(Board& b, int x, int y, int who) { remove_bookkeeping_impl<false>(b, x, y, who); }
void remove_bookkeeping_light(Board& b, int x, int y, int who) { remove_bookkeeping_impl<true>(b, x, y, who); }

bool is_true_open_four(const Board& b, int x, int y, int d, int player) {
  const int dx = DIR_DX[d], dy = DIR_DY[d];
  for (int sign = 1; sign >= -1; sign -= 2) {
    int cx = x, cy = y;
    walk_run(b, cx, cy, sign * dx, sign * dy, player);
    // Filling this end would join a further own stone: six or more.
    if (holds_stone(b, cx + sign * dx, cy + sign * dy, player)) return false;
  }
  return true;
}

void init_empty_bookkeeping(Board& b) {
  const int n = b.size;
  std::memset(b.dir_shapes, 0, sizeof b.dir_shapes);
  std::memset(b.cell_summaries, 0, sizeof b.cell_summaries);
  std::memset(&b.threat_sets, 0, sizeof b.threat_sets);
  b.eval_total[0] = b.eval_total[1] = 0;
  b.room_total[0] = b.room_total[1] = 0;
  UndoJournal& j = b.journal;
  j.entry_count = j.change_count = j.fixup_count = 0;
  j.light_depth = 0;
  j.light_changed = false;
  j.double_points_exact = true;
  for (int x = 0; x < n; ++x)
    for (int y = 0; y < n; ++y) {
      const bool x_inner = x != 0 && x != n - 1;
      const bool y_inner = y != 0 && y != n - 1;
      int16_t code[4] = {y_inner, x_inner, x_inner && y_inner, x_inner && y_inner};
      int16_t room[4] = {
          static_cast<int16_t>(start_room_straight(y, n)),
          static_cast<int16_t>(start_room_straight(x, n)),
          static_cast<int16_t>(room_along(x, y, 1, -1, n) + room_along(x, y, -1, 1, n)),
          static_cast<int16_t>(room_along(x, y, -1, -1, n) + room_along(x, y, 1, 1, n)),
      };
      for (int d = 2; d < 4; ++d)
        if (room[d] < 5) code[d] = 0;
      CellSummary& c = b.cell_summaries[x][y];
      const int16_t value = static_cast<int16_t>(code[0] + code[1] + code[2] + code[3]);
      const int16_t rooms = static_cast<int16_t>(room[0] + room[1] + room[2] + room[3]);
      for (int p = 0; p < 2; ++p) {
        for (int d = 0; d < 4; ++d) {
          b.dir_shapes[x][y][d].code[p] = code[d];
          b.dir_shapes[x][y][d].room[p] = room[d];
        }
        c.value_sum[p] = value;
        c.room_sum[p] = rooms;
        c.combo[p] = static_cast<int16_t>(value + combo_table[p][code[0]][code[1]][code[2]][code[3]]);
        c.weighted[p] = static_cast<int16_t>(static_cast<int32_t>(c.combo[p]) * rooms / 32);
        b.eval_total[p] += c.weighted[p];
      }
    }
}

}  // namespace zerin
