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

// Whose fives and open fours the rule judges beyond the window (check_five_rule): the
// first player's under every rule but free-style, the second player's under the
// standard rule only. The line updates are compiled once for each of these.
enum Judged : int { JUDGE_NONE = 0, JUDGE_FIRST = 1, JUDGE_BOTH = 3 };

inline int judged_players(int rule) {
  return rule == RULE_FREESTYLE ? JUDGE_NONE : rule == RULE_STANDARD ? JUDGE_BOTH : JUDGE_FIRST;
}

inline bool judged_code(int code) { return code == SHAPE_OPEN_FOUR || code == SHAPE_FIVE; }

// The players (bit per index) whose codes in slot s the rule judges.
template <int JUDGED>
inline int judged_in(ShapeSlot s) {
  return ((JUDGED & 1) && judged_code(slot_code(s, 0)) ? 1 : 0) | ((JUDGED & 2) && judged_code(slot_code(s, 1)) ? 2 : 0);
}

inline bool room_counts(const CellSummary& c) { return c.room_sum >= 25 && c.value_sum >= 6; }

// The combination correction of the cell's four codes for player index p.
inline int16_t combo_correction(const ShapeSlot* slots, int p) {
  uint64_t q;
  std::memcpy(&q, slots, sizeof q);
  q = q >> (4 * p) & 0x000F000F000F000Full;  // direction d's code in bits 16d..16d+3
  const int index = static_cast<int>((q << 12 | q >> 8 | q >> 28 | q >> 48) & 0xFFFF);  // d = 0 highest
  return (&combo_table[p][0][0][0][0])[index];
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

// A code moving from kind `from` to kind `to` along direction d.
inline void move_kind(Board& b, int from, int to, int d, int p, int x, int y) {
  if (from == to) return;
  if (from >= 0) clear_kind_bit(b, from, d, p, x, y);
  if (to >= 0) set_kind_bit(b, to, d, p, x, y);
}

// A value moving from `from` to `to`: the double-threat point follows when it crosses
// DOUBLE_THREAT_VALUE.
inline void move_double_point(Board& b, int from, int to, int p, int x, int y) {
  const bool was_double = from >= DOUBLE_THREAT_VALUE, is_double = to >= DOUBLE_THREAT_VALUE;
  if (was_double && !is_double)
    clear_cell_bit(b, DOUBLE_THREAT_POINTS, p, x, y);
  else if (is_double && !was_double)
    set_cell_bit(b, DOUBLE_THREAT_POINTS, p, x, y);
}

// A light take-back's change beyond the records: the cell's double-threat point needs a
// look once the light stones are all up.
inline void note_light_cell(Board& b, int x, int y) {
  UndoJournal& j = b.journal;
  if (j.light_cell_count < LIGHT_CELLS) j.light_cells[j.light_cell_count] = static_cast<uint16_t>(x * MAX_SIDE + y);
  ++j.light_cell_count;
}

// Gives cell (x, y) the code and room `code`, `room` along direction d for player index
// p, and keeps the summary, totals and threat sets in step: the cell's old terms come
// out and its new terms go in. Terms that are the same before and after (the same
// threat kind, the same side of the double-threat value) are left where they are, since
// taking them out and putting them back changes nothing. The light version leaves the
// double-threat points alone. LOG: a journaled placement's change, saved first.
template <bool LIGHT, bool LOG>
inline __attribute__((always_inline)) void change_code(Board& b, int d, int x, int y, int p, int code, int room) {
  ShapeSlot* slots = b.dir_shapes[x][y];
  CellSummary& c = b.cell_summaries[x][y][p];
  const ShapeSlot old = slots[d];
  if (LOG) {
    UndoJournal& j = b.journal;
    j.changes[j.change_count++] = SlotChange{c, old, static_cast<uint8_t>(x), static_cast<uint8_t>(y),
                                             static_cast<uint8_t>(d), static_cast<uint8_t>(p)};
  } else if (LIGHT) {
    note_light_cell(b, x, y);
  }
  const int old_code = slot_code(old, p);
  slots[d] = static_cast<ShapeSlot>((old & ~slot_bits(p)) | code << (4 * p) | room << (8 + 4 * p));
  const int16_t old_value = c.value_sum;
  const int16_t new_value = static_cast<int16_t>(old_value + shape_value[code] - shape_value[old_code]);
  const int16_t new_rooms = static_cast<int16_t>(c.room_sum + room - slot_room(old, p));
  if (room_counts(c)) b.room_total[p] -= c.room_sum;
  c.value_sum = new_value;
  c.room_sum = new_rooms;
  c.combo = static_cast<int16_t>(new_value + combo_correction(slots, p));
  if (room_counts(c)) b.room_total[p] += new_rooms;
  const int16_t weighted = static_cast<int16_t>(static_cast<int32_t>(new_rooms) * c.combo / 32);
  b.eval_total[p] += weighted - c.weighted;
  c.weighted = weighted;
  move_kind(b, KIND_OF_CODE[old_code], KIND_OF_CODE[code], d, p, x, y);
  if (!LIGHT) move_double_point(b, old_value, new_value, p, x, y);
}

// Puts back what change_code overwrote. The kinds and the double-threat point follow the
// codes and values (a full change keeps them so), so they move back the same way.
template <bool LIGHT>
inline void undo_change(Board& b, const SlotChange& r) {
  const int x = r.x, y = r.y, d = r.d, p = r.p;
  ShapeSlot& s = b.dir_shapes[x][y][d];
  CellSummary& c = b.cell_summaries[x][y][p];
  move_kind(b, KIND_OF_CODE[slot_code(s, p)], KIND_OF_CODE[slot_code(r.slot, p)], d, p, x, y);
  if (!LIGHT) move_double_point(b, c.value_sum, r.summary.value_sum, p, x, y);
  s = r.slot;
  c = r.summary;
}

// Under rules 1 and 2 a window's five may be an overline seen from outside the window,
// and an open four may have an end that would make six: the code is corrected, keeping
// the room. Whether it corrected the code.
template <bool LIGHT, bool LOG>
bool check_five_rule(Board& b, int x, int y, int d, int player) {
  const int p = player - 1;
  const int dx = DIR_DX[d], dy = DIR_DY[d];
  const ShapeSlot s = b.dir_shapes[x][y][d];
  if (slot_code(s, p) == SHAPE_FIVE) {
    const bool overline =
        (!holds_stone(b, x - dx, y - dy, player) && holds_stone(b, x + 5 * dx, y + 5 * dy, player)) ||
        (!holds_stone(b, x + dx, y + dy, player) && holds_stone(b, x - 5 * dx, y - 5 * dy, player));
    if (!overline) return false;
    change_code<LIGHT, LOG>(b, d, x, y, p, SHAPE_OVERLINE, slot_room(s, p));
    return true;
  }
  if (is_true_open_four(b, x, y, d, player)) return false;
  change_code<LIGHT, LOG>(b, d, x, y, p, SHAPE_FOUR, slot_room(s, p));
  return true;
}

// Re-reads cell (x, y)'s window e along direction d: a player whose code differs takes
// the window's code and room, and the rule judges the codes it judges. Most visits find
// both codes as before and nothing to judge.
template <bool LIGHT, bool LOG, int JUDGED>
inline void refresh_cell(Board& b, int d, int x, int y, ShapeSlot e) {
  const ShapeSlot s = b.dir_shapes[x][y][d];
  if (((s ^ e) & 0xFF) == 0 && judged_in<JUDGED>(s) == 0) return;
  for (int p = 0; p < 2; ++p) {
    const int code = slot_code(e, p);
    if (code != slot_code(b.dir_shapes[x][y][d], p)) change_code<LIGHT, LOG>(b, d, x, y, p, code, slot_room(e, p));
    if ((JUDGED >> p & 1) && judged_code(slot_code(b.dir_shapes[x][y][d], p)))
      check_five_rule<LIGHT, LOG>(b, x, y, d, p + 1);
  }
}

// After a placement's visit to a slot (was: the slot before it, now: after it), what the
// take-back's visit will find: the window without the stone, `back`. A player whose
// code differs then takes back's code and room, the others keep theirs. Where that
// leaves the slot other than `was`, or gives the rule something to judge, a fixup
// records it.
template <int JUDGED>
inline void foresee_take_back(Board& b, int d, int x, int y, ShapeSlot back, ShapeSlot was, ShapeSlot now) {
  const int differs = (back ^ now) & 0xFF;
  const int taken = ((differs & 0x0F) != 0 ? slot_bits(0) : 0) | ((differs & 0xF0) != 0 ? slot_bits(1) : 0);
  const ShapeSlot after = static_cast<ShapeSlot>((now & ~taken) | (back & taken));
  const int changed = after ^ was;
  const int set = ((changed & slot_bits(0)) != 0 ? 1 : 0) | ((changed & slot_bits(1)) != 0 ? 2 : 0);
  const int judge = judged_in<JUDGED>(after);
  if ((set | judge) == 0) return;
  UndoJournal& j = b.journal;
  SlotFixup& f = j.fixups[j.fixup_count++];
  f.slot = after;
  f.x = static_cast<uint8_t>(x);
  f.y = static_cast<uint8_t>(y);
  f.d = static_cast<uint8_t>(d);
  f.set = static_cast<uint8_t>(set) & 3;
  f.judge = static_cast<uint8_t>(judge) & 3;
}

// A fixup at the take-back, on the records as they were before the placement. Whether
// it changed them.
template <bool LIGHT>
inline bool apply_fixup(Board& b, const SlotFixup& f) {
  const int x = f.x, y = f.y, d = f.d;
  bool changed = false;
  for (int p = 0; p < 2; ++p) {
    if (f.set >> p & 1) {
      change_code<LIGHT, false>(b, d, x, y, p, slot_code(f.slot, p), slot_room(f.slot, p));
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
template <bool LIGHT, bool PLACING, int JUDGED>
void update_line(Board& b, int d, int x, int y) {
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
    const ShapeSlot e = packed_patterns[window & 0x3FFFF];
    if (!PLACING) {
      refresh_cell<LIGHT, false, JUDGED>(b, d, cx, cy, e);
      continue;
    }
    const ShapeSlot was = b.dir_shapes[cx][cy][d];
    const ShapeSlot back = packed_patterns[window_back & 0x3FFFF];
    // The usual visit: the codes stay, the take-back will find them again, and nothing
    // for the rule to judge.
    if ((((was ^ e) | (was ^ back)) & 0xFF) == 0 && judged_in<JUDGED>(was) == 0) continue;
    refresh_cell<LIGHT, true, JUDGED>(b, d, cx, cy, e);
    foresee_take_back<JUDGED>(b, d, cx, cy, back, was, b.dir_shapes[cx][cy][d]);
  }
}

template <bool LIGHT, bool PLACING, int JUDGED>
void update_lines(Board& b, int x, int y) {
  for (int d = 0; d < 4; ++d) update_line<LIGHT, PLACING, JUDGED>(b, d, x, y);
}

template <bool LIGHT, bool PLACING>
void update_lines(Board& b, int x, int y) {
  switch (judged_players(b.rule)) {
    case JUDGE_NONE: update_lines<LIGHT, PLACING, JUDGE_NONE>(b, x, y); break;
    case JUDGE_FIRST: update_lines<LIGHT, PLACING, JUDGE_FIRST>(b, x, y); break;
    default: update_lines<LIGHT, PLACING, JUDGE_BOTH>(b, x, y); break;
  }
}

// Whether the double-threat bits of the cells light take-backs changed (of every cell,
// when there were more than the list holds) still agree with their values.
void check_double_points(Board& b) {
  UndoJournal& j = b.journal;
  const auto agrees = [&b](int x, int y) {
    for (int p = 0; p < 2; ++p) {
      const bool bit = b.threat_sets.row_mask[DOUBLE_THREAT_POINTS][p][x] >> y & 1;
      if (bit != (b.cell_summaries[x][y][p].value_sum >= DOUBLE_THREAT_VALUE)) return false;
    }
    return true;
  };
  bool all_agree = true;
  if (j.light_cell_count <= LIGHT_CELLS) {
    for (int i = 0; i < j.light_cell_count; ++i) all_agree &= agrees(j.light_cells[i] / MAX_SIDE, j.light_cells[i] % MAX_SIDE);
  } else {
    for (int x = 0; x < b.size; ++x)
      for (int y = 0; y < b.size; ++y) all_agree &= agrees(x, y);
  }
  if (!all_agree) j.double_points_exact = false;
  j.light_cell_count = 0;
}

template <bool LIGHT>
void place_bookkeeping_impl(Board& b, int x, int y, int who) {
  UndoJournal& j = b.journal;
  if (LIGHT)
    ++j.light_depth;
  else if (j.light_depth > 0)
    j.double_points_exact = false;  // values under light stones that the bits do not follow
  if (!j.enabled) {
    update_lines<LIGHT, false>(b, x, y);
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
  update_lines<LIGHT, true>(b, x, y);
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
  if (!restored) update_lines<LIGHT, false>(b, x, y);
  if (changed) ++j.epoch;
  if (LIGHT && j.light_depth > 0 && --j.light_depth == 0 && j.light_cell_count > 0) check_double_points(b);
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
  j.light_cell_count = 0;
  j.double_points_exact = true;
  for (int x = 0; x < n; ++x)
    for (int y = 0; y < n; ++y) {
      const bool x_inner = x != 0 && x != n - 1;
      const bool y_inner = y != 0 && y != n - 1;
      int code[4] = {y_inner, x_inner, x_inner && y_inner, x_inner && y_inner};
      const int room[4] = {
          start_room_straight(y, n),
          start_room_straight(x, n),
          room_along(x, y, 1, -1, n) + room_along(x, y, -1, 1, n),
          room_along(x, y, -1, -1, n) + room_along(x, y, 1, 1, n),
      };
      for (int d = 2; d < 4; ++d)
        if (room[d] < 5) code[d] = 0;
      for (int d = 0; d < 4; ++d)
        b.dir_shapes[x][y][d] = static_cast<ShapeSlot>(code[d] | code[d] << 4 | room[d] << 8 | room[d] << 12);
      const int16_t value = static_cast<int16_t>(code[0] + code[1] + code[2] + code[3]);
      const int16_t rooms = static_cast<int16_t>(room[0] + room[1] + room[2] + room[3]);
      for (int p = 0; p < 2; ++p) {
        CellSummary& c = b.cell_summaries[x][y][p];
        c.value_sum = value;
        c.room_sum = rooms;
        c.combo = static_cast<int16_t>(value + combo_table[p][code[0]][code[1]][code[2]][code[3]]);
        c.weighted = static_cast<int16_t>(static_cast<int32_t>(c.combo) * rooms / 32);
        b.eval_total[p] += c.weighted;
      }
    }
}

}  // namespace zerin
