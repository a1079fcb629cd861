#include "board/bookkeeping.h"

#include <cstddef>
#include <cstring>

#include "board/board.h"
#include "board/patterns.h"
#include "core/check.h"
#include "core/rules.h"

namespace zerin {

namespace {

// Threat kind 0..3 of a shape code, or -1.
constexpr int8_t KIND_OF_CODE[16] = {-1, -1, -1, -1, -1, -1, -1, THREE_POINTS, THREE_POINTS,
                                     FOUR_POINTS, FOUR_POINTS, OPEN_FOUR_POINTS, FIVE_POINTS,
                                     -1, -1, -1};

// Whose fives and open fours the rule judges beyond the window (check_five_rule), a bit
// per player index: the first player's under every rule but free-style, the second
// player's under the standard and the Caro rules only.
inline int judged_players(int rule) {
  return rule == RULE_FREESTYLE ? 0 : rule == RULE_STANDARD || is_caro(rule) ? 3 : 1;
}

constexpr bool judged_code(int code) { return code == SHAPE_OPEN_FOUR || code == SHAPE_FIVE; }

// The players (bit per index) whose codes in slot s the rule judges.
inline int judged_in(ShapeSlot s, int judged) {
  return ((judged & 1) && judged_code(slot_code(s, 0)) ? 1 : 0) | ((judged & 2) && judged_code(slot_code(s, 1)) ? 2 : 0);
}

// A code a slot may hold while its window reads another: 1, the start code of a line no
// stone has come near since the reset (whose window reads 0), and the rule's corrections
// FOUR and OVERLINE (the window reads an open four or a five). Any other code is the one
// the window reads.
constexpr bool may_differ_from_window(int code) {
  return code == 1 || code == SHAPE_FOUR || code == SHAPE_OVERLINE;
}

// Per judged players and a slot's two codes (its low byte): bit 0, whether a code may
// differ from its window (a placement's visit that leaves the codes as they are must
// still compare them with the window without the stone); bits 1 and 2, whether the
// rule judges the first and the second player's code.
struct CodeFlags {
  uint8_t at[4][256];
};

constexpr CodeFlags make_code_flags() {
  CodeFlags t{};
  for (int judged = 0; judged < 4; ++judged)
    for (int codes = 0; codes < 256; ++codes) {
      const int first = codes & 15, second = codes >> 4;
      const bool judge_first = (judged & 1) && judged_code(first), judge_second = (judged & 2) && judged_code(second);
      const bool may_differ = may_differ_from_window(first) || may_differ_from_window(second);
      t.at[judged][codes] = static_cast<uint8_t>((may_differ ? 1 : 0) | (judge_first ? 2 : 0) | (judge_second ? 4 : 0));
    }
  return t;
}

constexpr CodeFlags CODE_FLAGS = make_code_flags();
constexpr uint8_t MAY_DIFFER = 1;
constexpr uint8_t JUDGED_CODES = 6;

// A cell's term of room_total: its room_sum where it has room and some value. Worked out
// without a branch: which cells count is as good as random.
inline int room_term(int room_sum, int value_sum) {
  return room_sum & -static_cast<int>((room_sum >= 25) & (value_sum >= 6));
}

// Where direction d's code sits in CellSummary::codes.
inline int codes_shift(int d) { return 12 - 4 * d; }

inline int16_t combination(int p, int codes) { return (&combo_table[p][0][0][0][0])[codes]; }

inline ShapeSlot* cell_slots(Board& b, int cell) { return &b.dir_shapes[0][0][0] + 4 * cell; }
inline CellSummary& summary_of(Board& b, int cell, int p) { return (&b.cell_summaries[0][0][0])[2 * cell + p]; }

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
inline void clear_kind_bit(Board& b, int kind, int d, int p, int cell) {
  const int x = cell / MAX_SIDE, y = cell % MAX_SIDE;
  uint8_t& dm = b.threat_sets.dir_mask[kind][p][x][y];
  dm &= ~(1 << d);
  if (dm == 0) clear_cell_bit(b, kind, p, x, y);
}

inline void set_kind_bit(Board& b, int kind, int d, int p, int cell) {
  const int x = cell / MAX_SIDE, y = cell % MAX_SIDE;
  b.threat_sets.dir_mask[kind][p][x][y] |= 1 << d;
  set_cell_bit(b, kind, p, x, y);
}

// A code moving from kind `from` to kind `to` along direction d.
inline void move_kind(Board& b, int from, int to, int d, int p, int cell) {
  if (from == to) return;
  if (from >= 0) clear_kind_bit(b, from, d, p, cell);
  if (to >= 0) set_kind_bit(b, to, d, p, cell);
}

// A value moving from `from` to `to`: the double-threat point follows when it crosses
// DOUBLE_THREAT_VALUE.
inline void move_double_point(Board& b, int from, int to, int p, int cell) {
  const bool was_double = from >= DOUBLE_THREAT_VALUE, is_double = to >= DOUBLE_THREAT_VALUE;
  if (was_double == is_double) return;
  const int x = cell / MAX_SIDE, y = cell % MAX_SIDE;
  if (was_double)
    clear_cell_bit(b, DOUBLE_THREAT_POINTS, p, x, y);
  else
    set_cell_bit(b, DOUBLE_THREAT_POINTS, p, x, y);
}

// A take-back's change beyond the records: the cell is stamped with the clock's next
// value, and (under light stones) its double-threat point needs a look once the light
// stones are all up.
inline void note_changed_cell(Board& b, int cell, bool light) {
  UndoJournal& j = b.journal;
  j.changed_at[cell] = j.clock + 1;
  j.changed_cells = true;
  if (!light) return;
  if (j.light_cell_count < LIGHT_CELLS) j.light_cells[j.light_cell_count] = static_cast<uint16_t>(cell);
  ++j.light_cell_count;
}

// What a code moving from one shape to another does to its player's value and threat
// kinds: bits 0-15 the shape values' difference, 16-19 and 20-23 the old and new
// threat kinds plus one (0: none).
struct CodeMoves {
  int32_t move[16][16];
};

constexpr CodeMoves make_code_moves() {
  CodeMoves t{};
  constexpr int16_t VALUE[16] = {0, 1, 2, 6, 7, 10, 23, 158, 175, 256, 256, 511, 2047, 0, 0, 0};
  for (int from = 0; from < 16; ++from)
    for (int to = 0; to < 16; ++to)
      t.move[from][to] = (static_cast<int32_t>(VALUE[to] - VALUE[from]) & 0xFFFF) | (KIND_OF_CODE[from] + 1) << 16 |
                         (KIND_OF_CODE[to] + 1) << 20;
  return t;
}

constexpr CodeMoves CODE_MOVES = make_code_moves();

// Where changes leave what they owe the journal and the totals: a placement's visits
// keep these at hand and settle them once.
struct ChangeSink {
  SlotChange* log;  // the next record, or null where changes are not journaled
  int32_t room_delta[2];
  int32_t eval_delta[2];
};

inline ChangeSink open_sink(Board& b, bool log) {
  return ChangeSink{log ? b.journal.changes + b.journal.change_count : nullptr, {0, 0}, {0, 0}};
}

inline void settle_sink(Board& b, const ChangeSink& sink) {
  if (sink.log != nullptr) b.journal.change_count = static_cast<int>(sink.log - b.journal.changes);
  for (int p = 0; p < 2; ++p) {
    b.room_total[p] += sink.room_delta[p];
    b.eval_total[p] += sink.eval_delta[p];
  }
}

// Gives player index P's part of the slot of `cell` along direction d the code and room
// in `bits` (P's bits of a slot), and keeps the summary, totals and threat sets in step:
// the cell's old terms come out and its new terms go in. Terms that are the same before
// and after (the same threat kind, the same side of the double-threat value) are left
// where they are, since taking them out and putting them back changes nothing. A light
// change leaves the double-threat points alone. LOG: what the change overwrites is saved
// in the sink's log first.
template <bool LOG, int P>
inline __attribute__((always_inline)) void change_code_inline(Board& b, ChangeSink& sink, int cell, int d,
                                                              unsigned bits, bool light) {
  ShapeSlot& slot = cell_slots(b, cell)[d];
  CellSummary& c = summary_of(b, cell, P);
  const unsigned old = slot;
  const CellSummary before = c;
  if (LOG) *sink.log++ = SlotChange{before, change_place(old, cell, d, P)};
  constexpr unsigned MASK = 0x0F0Fu << (4 * P);
  const unsigned now = (old & ~MASK) | (bits & MASK);
  slot = static_cast<ShapeSlot>(now);
  const int old_code = old >> (4 * P) & 15, code = now >> (4 * P) & 15;
  const int32_t move = CODE_MOVES.move[old_code][code];
  const int value = static_cast<int16_t>(before.value_sum + static_cast<int16_t>(move));
  const int rooms = static_cast<int16_t>(before.room_sum + (now >> (8 + 4 * P) & 15) - (old >> (8 + 4 * P) & 15));
  const int shift = codes_shift(d);
  const unsigned codes = (before.codes & ~(15u << shift)) | static_cast<unsigned>(code) << shift;
  const int combo = static_cast<int16_t>(value + combination(P, static_cast<int>(codes)));
  const int weighted = static_cast<int16_t>(rooms * combo / 32);
  c = CellSummary{static_cast<int16_t>(value), static_cast<uint16_t>(codes), static_cast<int16_t>(rooms),
                  static_cast<int16_t>(weighted)};
  sink.room_delta[P] += room_term(rooms, value) - room_term(before.room_sum, before.value_sum);
  sink.eval_delta[P] += weighted - before.weighted;
  if ((move >> 16 & 15) != (move >> 20 & 15)) move_kind(b, (move >> 16 & 15) - 1, (move >> 20 & 15) - 1, d, P, cell);
  if (!light) move_double_point(b, before.value_sum, value, P, cell);
}

template <bool LOG, int P>
__attribute__((noinline)) void change_code(Board& b, int cell, int d, unsigned bits, bool light) {
  if (!LOG) note_changed_cell(b, cell, light);
  ChangeSink sink = open_sink(b, LOG);
  change_code_inline<LOG, P>(b, sink, cell, d, bits, light);
  settle_sink(b, sink);
}

template <bool LOG>
inline void change_code(Board& b, int cell, int d, int p, unsigned bits, bool light) {
  if (p == 0)
    change_code<LOG, 0>(b, cell, d, bits, light);
  else
    change_code<LOG, 1>(b, cell, d, bits, light);
}

// Puts back what change_code overwrote: player p's part of the slot and p's summary.
// The kinds and the double-threat point follow the codes and values (a full change
// keeps them so), so they move back the same way.
inline void undo_change(Board& b, const SlotChange& r, bool light) {
  const unsigned saved = r.place & 0xFFFF;
  const int cell = r.place >> 16 & 1023, d = r.place >> 26 & 3, p = r.place >> 28;
  ShapeSlot& s = cell_slots(b, cell)[d];
  CellSummary& c = summary_of(b, cell, p);
  move_kind(b, KIND_OF_CODE[slot_code(s, p)], KIND_OF_CODE[saved >> (4 * p) & 15], d, p, cell);
  if (!light) move_double_point(b, c.value_sum, r.summary.value_sum, p, cell);
  s = static_cast<ShapeSlot>((s & ~slot_bits(p)) | (saved & slot_bits(p)));
  c = r.summary;
}

// undo_change with the totals moved by the summary's terms, where they are not put back
// as a whole.
inline void undo_change_counted(Board& b, const SlotChange& r, bool light) {
  const int cell = r.place >> 16 & 1023, p = r.place >> 28;
  const CellSummary& c = summary_of(b, cell, p);
  b.room_total[p] += room_term(r.summary.room_sum, r.summary.value_sum) - room_term(c.room_sum, c.value_sum);
  b.eval_total[p] += r.summary.weighted - c.weighted;
  undo_change(b, r, light);
}

// Under rules 1 and 2 a window's five may be an overline seen from outside the window,
// and an open four may have an end that would make six; under Caro a five may also be
// blocked at both ends, and an open four may be stopped by a block at one end
// (check_caro_rule). Player index p's code is corrected, keeping the room. Whether it
// corrected the code.
template <bool LOG>
__attribute__((noinline)) bool check_caro_rule(Board& b, int cell, int d, int p, bool light) {
  const int x = cell / MAX_SIDE, y = cell % MAX_SIDE;
  const ShapeSlot s = cell_slots(b, cell)[d];
  int corrected;
  if (slot_code(s, p) == SHAPE_FIVE) {
    if (caro_five_wins(b, x, y, d, p + 1)) return false;
    corrected = SHAPE_OVERLINE;
  } else {
    if (caro_open_four_stands(b, x, y, d, p + 1)) return false;
    corrected = SHAPE_FOUR;
  }
  change_code<LOG>(b, cell, d, p, static_cast<unsigned>(corrected << (4 * p) | (s & 0xFF00)), light);
  return true;
}

template <bool LOG>
__attribute__((noinline)) bool check_five_rule(Board& b, int cell, int d, int p, bool light) {
  if (is_caro(b.rule)) return check_caro_rule<LOG>(b, cell, d, p, light);
  const int player = p + 1;
  const int x = cell / MAX_SIDE, y = cell % MAX_SIDE;
  const int dx = DIR_DX[d], dy = DIR_DY[d];
  const ShapeSlot s = cell_slots(b, cell)[d];
  int corrected;
  if (slot_code(s, p) == SHAPE_FIVE) {
    const bool overline =
        (!holds_stone(b, x - dx, y - dy, player) && holds_stone(b, x + 5 * dx, y + 5 * dy, player)) ||
        (!holds_stone(b, x + dx, y + dy, player) && holds_stone(b, x - 5 * dx, y - 5 * dy, player));
    if (!overline) return false;
    corrected = SHAPE_OVERLINE;
  } else {
    if (is_true_open_four(b, x, y, d, player)) return false;
    corrected = SHAPE_FOUR;
  }
  change_code<LOG>(b, cell, d, p, static_cast<unsigned>(corrected << (4 * p) | (s & 0xFF00)), light);
  return true;
}

// Re-reads the slot of `cell` along d from its window's entry e: for each player a code
// that differs takes the window's code and room, then the rule judges the codes it
// judges.
template <bool LOG>
__attribute__((noinline)) void refresh_slot(Board& b, int cell, int d, ShapeSlot e, int judged, bool light) {
  const ShapeSlot& slot = cell_slots(b, cell)[d];
  for (int p = 0; p < 2; ++p) {
    if (slot_code(e, p) != slot_code(slot, p)) change_code<LOG>(b, cell, d, p, e, light);
    if ((judged >> p & 1) && judged_code(slot_code(slot, p))) check_five_rule<LOG>(b, cell, d, p, light);
  }
}

// A slot the take-back must set again (`set`: which players' codes) or have the rule judge
// again (`judge`), with what it will hold.
inline void push_fixup(UndoJournal& j, unsigned after, int cell, int d, unsigned set, unsigned judge) {
  SlotFixup& f = j.fixups[j.fixup_count++];
  f.slot = static_cast<ShapeSlot>(after);
  f.cell = static_cast<uint16_t>(cell);
  f.d = static_cast<uint8_t>(d);
  f.set = static_cast<uint8_t>(set) & 3;
  f.judge = static_cast<uint8_t>(judge) & 3;
}

// After a placement's visit to a slot (was: the slot before it, now: after it), what the
// take-back's visit will find: the window without the stone, `back`. A player whose
// code differs then takes back's code and room, the others keep theirs. Where that
// leaves the slot other than `was`, or gives the rule something to judge, a fixup
// records it.
inline void foresee_take_back(Board& b, int cell, int d, unsigned back, unsigned was, unsigned now, int judged) {
  const unsigned differs = back ^ now;
  const unsigned taken = ((differs & 0x0F) != 0 ? 0x0F0Fu : 0) | ((differs & 0xF0) != 0 ? 0xF0F0u : 0);
  const unsigned after = (now & ~taken) | (back & taken);
  const unsigned changed = after ^ was;
  const int set = ((changed & 0x0F0F) != 0 ? 1 : 0) | ((changed & 0xF0F0) != 0 ? 2 : 0);
  const int judge = judged_in(static_cast<ShapeSlot>(after), judged);
  if ((set | judge) == 0) return;
  push_fixup(b.journal, after, cell, d, set, judge);
}

// The cell of a slot of b.dir_shapes (its direction is known to the caller).
inline int cell_of(const Board& b, const ShapeSlot* slot) {
  return static_cast<int>(slot - &b.dir_shapes[0][0][0]) >> 2;
}

// The placed stone's own cell, along the directions `seen` that its placement visits
// with something to do (back: the entries of its windows without the stone). Every
// window centred on a stone reads 0 in the pattern table, so each code that is not 0
// becomes 0 with room 0: the values only fall, and the summary is worked out once for
// all four directions.
__attribute__((noinline)) void place_own_cell(Board& b, int x, int y, int seen, const ShapeSlot* back, int judged,
                                              bool light) {
  const int cell = x * MAX_SIDE + y;
  ShapeSlot* slots = cell_slots(b, cell);
  const ShapeSlot was[4] = {slots[0], slots[1], slots[2], slots[3]};
  UndoJournal& j = b.journal;
  for (int p = 0; p < 2; ++p) {
    CellSummary& c = summary_of(b, cell, p);
    const CellSummary before = c;
    CellSummary after = before;
    bool changed = false;
#pragma GCC unroll 1
    for (int d = 0; d < 4; ++d) {
      const int code = slot_code(slots[d], p);
      if (!(seen >> d & 1) || code == 0) continue;
      j.changes[j.change_count++] = SlotChange{before, change_place(slots[d], cell, d, p)};
      after.value_sum = static_cast<int16_t>(after.value_sum + shape_value[0] - shape_value[code]);
      after.room_sum = static_cast<int16_t>(after.room_sum - slot_room(slots[d], p));
      after.codes = static_cast<uint16_t>(after.codes & ~(15 << codes_shift(d)));
      slots[d] = static_cast<ShapeSlot>(slots[d] & ~slot_bits(p));
      if (KIND_OF_CODE[code] >= 0) clear_kind_bit(b, KIND_OF_CODE[code], d, p, cell);
      changed = true;
    }
    if (!changed) continue;
    const int16_t combo = static_cast<int16_t>(after.value_sum + combination(p, after.codes));
    after.weighted = static_cast<int16_t>(static_cast<int32_t>(after.room_sum) * combo / 32);
    c = after;
    b.room_total[p] += room_term(after.room_sum, after.value_sum) - room_term(before.room_sum, before.value_sum);
    b.eval_total[p] += after.weighted - before.weighted;
    if (!light) move_double_point(b, before.value_sum, after.value_sum, p, cell);
  }
#pragma GCC unroll 1
  for (int d = 0; d < 4; ++d)
    if (seen >> d & 1) foresee_take_back(b, cell, d, back[d], was[d], slots[d], judged);
}

// A fixup at the take-back, on the records as they were before the placement. Whether
// it changed them.
__attribute__((noinline)) bool apply_fixup(Board& b, const SlotFixup& f, bool light) {
  bool changed = false;
  for (int p = 0; p < 2; ++p) {
    if (f.set >> p & 1) {
      change_code<false>(b, f.cell, f.d, p, f.slot, light);
      changed = true;
    }
    if ((f.judge >> p & 1) && check_five_rule<false>(b, f.cell, f.d, p, light)) changed = true;
  }
  return changed;
}

inline int min3(int a, int b, int c) { return a < b ? (a < c ? a : c) : (b < c ? b : c); }
inline int max3(int a, int b, int c) { return a > b ? (a > c ? a : c) : (b > c ? b : c); }

// A placement's visit with something to do or to foresee: the slot (its index in
// dir_shapes, cell * 4 + d) and the entries of its window with and without the stone.
struct PendingVisit {
  uint16_t slot;
  uint16_t e;
  uint16_t back;
};

// What a placement's line visits gather for place_slots: the visits with something to
// do, and the entries of the stone's own windows without it along the directions where
// its own slot has something to do.
struct PlacementVisits {
  int count = 0;
  PendingVisit visits[4 * 11];
  int own_seen = 0;
  ShapeSlot own_back[4] = {0, 0, 0, 0};
};

// The first slot a change of (x, y) re-examines along d, its window (the line word
// shifted to it), and the step between slots along the line.
struct LineStart {
  const ShapeSlot* slot;
  uint64_t window;
  ptrdiff_t stride;
};

inline LineStart line_start(Board& b, const LineReach& reach, int d, int x, int y) {
  const int dx = DIR_DX[d], dy = DIR_DY[d];
  const int lo = reach.lo;
  return LineStart{cell_slots(b, (x + lo * dx) * MAX_SIDE + y + lo * dy) + d,
                   b.lines[d][reach.word] >> (2 * (reach.position + lo)), 4 * (dx * MAX_SIDE + dy)};
}

// A take-back's visits (or a placement's without the journal): the cells within
// b.pattern_radius of (x, y) along each direction that lie on the board, in line order.
// They form one run along the line, and their positions in the line word are
// consecutive, so the window slides by one cell per step. Most visits find the codes as
// they were and nothing for the rule to judge.
__attribute__((noinline)) void refresh_lines(Board& b, int x, int y, bool light) {
  const int judged = judged_players(b.rule);
#pragma GCC unroll 1
  for (int d = 0; d < 4; ++d) {
    const LineReach reach = b.line_reach[x][y][d];
    LineStart at = line_start(b, reach, d, x, y);
    for (int k = reach.count; k > 0; --k, at.slot += at.stride, at.window >>= 2) {
      const ShapeSlot was = *at.slot;
      if (stone_centred(at.window) && (was & 0xFF) == 0) continue;
      const unsigned e = packed_patterns[at.window & 0x3FFFF];
      if (((was ^ e) & 0xFF) == 0 && judged_in(was, judged) == 0) continue;
      refresh_slot<false>(b, cell_of(b, at.slot), d, static_cast<ShapeSlot>(e), judged, light);
    }
  }
}

// A journaled placement's visits, as refresh_lines's, gathered first: those with
// something to do, where the codes change, or where the window without the stone (what
// the take-back will read) may read other codes, or the rule has a code to judge. The
// stone's own cell is left to place_own_cell.
__attribute__((noinline)) void gather_visits(Board& b, int x, int y, int judged, PlacementVisits& v) {
  const uint8_t* const look = CODE_FLAGS.at[judged];
  const ShapeSlot* const base = &b.dir_shapes[0][0][0];
#pragma GCC unroll 1
  for (int d = 0; d < 4; ++d) {
    const LineReach reach = b.line_reach[x][y][d];
    if (reach.count == 0) continue;
    LineStart at = line_start(b, reach, d, x, y);
    const uint64_t line = b.lines[d][reach.word];
    uint64_t window_back = (line & ~(uint64_t{3} << (2 * reach.position + 8))) >> (2 * (reach.position + reach.lo));
    const ShapeSlot* const own = at.slot - reach.lo * at.stride;
    for (int k = reach.count; k > 0; --k, at.slot += at.stride, at.window >>= 2, window_back >>= 2) {
      const ShapeSlot was = *at.slot;
      // A stone's cell: the table (larger than the first-level cache) is not read for it.
      if (stone_centred(at.window) && (was & 0xFF) == 0) continue;
      const unsigned e = packed_patterns[at.window & 0x3FFFF];
      unsigned back;
      if (((was ^ e) & 0xFF) == 0) {
        if (!look[was & 0xFF]) {
          expect([&] { return ((was ^ packed_patterns[window_back & 0x3FFFF]) & 0xFF) == 0; },
                 "a slot's codes are its window's, but for start codes and the rule's corrections");
          continue;
        }
        back = packed_patterns[window_back & 0x3FFFF];
        if (((was ^ back) & 0xFF) == 0 && judged_in(was, judged) == 0) continue;
      } else {
        back = packed_patterns[window_back & 0x3FFFF];
      }
      if (at.slot == own) {
        v.own_back[d] = static_cast<ShapeSlot>(back);
        v.own_seen |= 1 << d;
        continue;
      }
      v.visits[v.count++] =
          PendingVisit{static_cast<uint16_t>(at.slot - base), static_cast<uint16_t>(e), static_cast<uint16_t>(back)};
    }
  }
}

// The gathered visits of a placement: for each player a code that differs takes the
// window's code and room, the rule judges the codes it judges, and the take-back is
// foreseen.
//
// The players' parts of a slot change independently, so the rule judges a slot after
// both have changed. Its judgement journals its own corrections (out of line: few slots
// hold a five or an open four).
__attribute__((noinline)) void judge_slot(Board& b, int index, int flags, bool light) {
  if (flags & 2) check_five_rule<true>(b, index >> 2, index & 3, 0, light);
  if (flags & 4) check_five_rule<true>(b, index >> 2, index & 3, 1, light);
}

__attribute__((noinline)) void place_slots(Board& b, const PlacementVisits& v, int judged, bool light) {
  const uint8_t* const flags = CODE_FLAGS.at[judged];
  const ShapeSlot* const slots = &b.dir_shapes[0][0][0];
  UndoJournal& j = b.journal;
  ChangeSink sink = open_sink(b, true);
  for (int i = 0; i < v.count; ++i) {
    const int index = v.visits[i].slot;
    const unsigned e = v.visits[i].e, back = v.visits[i].back, was = slots[index];
    const int cell = index >> 2, d = index & 3;
    if (((was ^ e) & 0x0F) != 0) change_code_inline<true, 0>(b, sink, cell, d, e, light);
    if (((was ^ e) & 0xF0) != 0) change_code_inline<true, 1>(b, sink, cell, d, e, light);
    unsigned now = slots[index];
    if (flags[now & 0xFF] & JUDGED_CODES) {
      settle_sink(b, sink);
      judge_slot(b, index, flags[now & 0xFF], light);
      sink = open_sink(b, true);
      now = slots[index];
    }
    // The take-back's visit foreseen: a player whose code differs from the window without
    // the stone takes its code and room, the others keep theirs. Where that leaves the
    // slot other than it was, or gives the rule something to judge, a fixup records it.
    const unsigned differs = back ^ now;
    const unsigned taken = (0x0F0Fu & -static_cast<unsigned>((differs & 0x0F) != 0)) |
                           (0xF0F0u & -static_cast<unsigned>((differs & 0xF0) != 0));
    const unsigned after = now ^ ((now ^ back) & taken), changed = after ^ was;
    const unsigned set = static_cast<unsigned>((changed & 0x0F0F) != 0) | static_cast<unsigned>((changed & 0xF0F0) != 0) << 1;
    const unsigned judge = flags[after & 0xFF] >> 1 & 3;
    if ((set | judge) == 0) continue;
    push_fixup(j, after, cell, d, set, judge);
  }
  settle_sink(b, sink);
}

// A placement skips the stone's own slot along a direction where it is 0 with nothing
// to foresee, as place_own_cell would leave it.
void place_lines(Board& b, int x, int y, bool light) {
  const int judged = judged_players(b.rule);
  PlacementVisits v;
  gather_visits(b, x, y, judged, v);
  place_slots(b, v, judged, light);
  if (v.own_seen != 0) place_own_cell(b, x, y, v.own_seen, v.own_back, judged, light);
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
    for (int i = 0; i < j.light_cell_count; ++i)
      all_agree &= agrees(j.light_cells[i] / MAX_SIDE, j.light_cells[i] % MAX_SIDE);
  } else {
    for (int x = 0; x < b.size; ++x)
      for (int y = 0; y < b.size; ++y) all_agree &= agrees(x, y);
  }
  if (!all_agree) j.double_points_exact = false;
  j.light_cell_count = 0;
}

void place_bookkeeping_impl(Board& b, int x, int y, int who, bool light) {
  UndoJournal& j = b.journal;
  if (light)
    ++j.light_depth;
  else if (j.light_depth > 0)
    j.double_points_exact = false;  // values under light stones that the bits do not follow
  if (!j.enabled) {
    refresh_lines(b, x, y, light);
    return;
  }
  if (j.entry_count == JOURNAL_ENTRIES || j.change_count > JOURNAL_CHANGES - PLACEMENT_CHANGES ||
      j.fixup_count > JOURNAL_FIXUPS - PLACEMENT_FIXUPS)
    j.entry_count = j.change_count = j.fixup_count = 0;  // full: the stones down work their take-backs out
  JournalEntry& e = j.entries[j.entry_count++];
  e.x = static_cast<uint8_t>(x);
  e.y = static_cast<uint8_t>(y);
  e.who = static_cast<uint8_t>(who);
  e.light = light;
  e.placed_at = j.clock;
  e.eval_total[0] = b.eval_total[0];
  e.eval_total[1] = b.eval_total[1];
  e.room_total[0] = b.room_total[0];
  e.room_total[1] = b.room_total[1];
  e.first_change = j.change_count;
  e.first_fixup = j.fixup_count;
  place_lines(b, x, y, light);
}

// The records put back as the entry saved them, then its fixups. Cells stamped since the
// placement (changed beyond the records of take-backs in between) are not put back:
// their slots along the stone's lines are worked out again, as every take-back did
// before the journal.
void restore_entry(Board& b, const JournalEntry& e, bool light) {
  UndoJournal& j = b.journal;
  if (j.clock == e.placed_at) {
    for (int i = j.change_count - 1; i >= e.first_change; --i) undo_change(b, j.changes[i], light);
    b.eval_total[0] = e.eval_total[0];
    b.eval_total[1] = e.eval_total[1];
    b.room_total[0] = e.room_total[0];
    b.room_total[1] = e.room_total[1];
    for (int i = e.first_fixup; i < j.fixup_count; ++i) apply_fixup(b, j.fixups[i], light);
    return;
  }
  // Stamped before this take-back: its own changes carry the clock's next value.
  const auto clean = [&](int cell) { return j.changed_at[cell] <= e.placed_at || j.changed_at[cell] > j.clock; };
  for (int i = j.change_count - 1; i >= e.first_change; --i)
    if (clean(j.changes[i].place >> 16 & 1023)) undo_change_counted(b, j.changes[i], light);
  for (int i = e.first_fixup; i < j.fixup_count; ++i)
    if (clean(j.fixups[i].cell)) apply_fixup(b, j.fixups[i], light);
  const int judged = judged_players(b.rule);
  for (int d = 0; d < 4; ++d) {
    const LineReach reach = b.line_reach[e.x][e.y][d];
    LineStart at = line_start(b, reach, d, e.x, e.y);
    for (int k = reach.count; k > 0; --k, at.slot += at.stride, at.window >>= 2) {
      const int cell = cell_of(b, at.slot);
      if (clean(cell)) continue;
      const unsigned window_entry = packed_patterns[at.window & 0x3FFFF];
      if (((*at.slot ^ window_entry) & 0xFF) == 0 && judged_in(*at.slot, judged) == 0) continue;
      refresh_slot<false>(b, cell, d, static_cast<ShapeSlot>(window_entry), judged, light);
    }
  }
}

// The clock moves on past the stamps of a take-back's changes. Before it could wrap, the
// journal is emptied and the stamps start again.
void advance_clock(Board& b) {
  UndoJournal& j = b.journal;
  if (++j.clock == UINT32_MAX - 1) {
    j.entry_count = j.change_count = j.fixup_count = 0;
    j.clock = 0;
    std::memset(j.changed_at, 0, sizeof j.changed_at);
  }
}

void remove_bookkeeping_impl(Board& b, int x, int y, int who, bool light) {
  UndoJournal& j = b.journal;
  j.changed_cells = false;
  bool restored = false;
  if (j.entry_count > 0) {
    const JournalEntry& e = j.entries[j.entry_count - 1];
    if (e.x == x && e.y == y && e.who == who && e.light == light) {
      if (light || j.double_points_exact) {
        restore_entry(b, e, light);
        restored = true;
      } else {
        // Worked out again below: the cells the placement changed may keep what it gave
        // them where the fresh look finds nothing to change.
        for (int i = e.first_change; i < j.change_count; ++i)
          note_changed_cell(b, j.changes[i].place >> 16 & 1023, light);
      }
      --j.entry_count;
      j.change_count = e.first_change;
      j.fixup_count = e.first_fixup;
    } else {
      j.entry_count = j.change_count = j.fixup_count = 0;  // a stone lifted out of order
    }
  }
  if (!restored) refresh_lines(b, x, y, light);
  if (j.changed_cells) advance_clock(b);
  if (light && j.light_depth > 0 && --j.light_depth == 0 && j.light_cell_count > 0) check_double_points(b);
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

void place_bookkeeping(Board& b, int x, int y, int who) { place_bookkeeping_impl(b, x, y, who, false); }
void place_bookkeeping_light(Board& b, int x, int y, int who) { place_bookkeeping_impl(b, x, y, who, true); }
void remove_bookkeeping(Board& b, int x, int y, int who) { remove_bookkeeping_impl(b, x, y, who, false); }
void remove_bookkeeping_light(Board& b, int x, int y, int who) { remove_bookkeeping_impl(b, x, y, who, true); }

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

__attribute__((noinline)) bool caro_open_four_stands(const Board& b, int x, int y, int d, int player) {
  const int dx = DIR_DX[d], dy = DIR_DY[d];
  for (int sign = 1; sign >= -1; sign -= 2) {
    int cx = x, cy = y;
    walk_run(b, cx, cy, sign * dx, sign * dy, player);
    // Past this end an own stone makes six or more, which wins only under five or more;
    // a block there leaves a five blocked at both ends once the opponent takes the other end.
    const int bx = cx + sign * dx, by = cy + sign * dy;
    if (holds_stone(b, bx, by, player) ? b.rule != RULE_CARO : caro_blocks(b, bx, by, player)) return false;
  }
  return true;
}

bool caro_blocks(const Board& b, int x, int y, int player) {
  return !on_board(b, x, y) || (b.cells[x][y] != EMPTY && b.cells[x][y] != player);
}

__attribute__((noinline)) bool caro_five_wins(const Board& b, int x, int y, int d, int player) {
  const int dx = DIR_DX[d], dy = DIR_DY[d];
  int fx = x, fy = y, bx = x, by = y;
  walk_run(b, fx, fy, dx, dy, player);
  walk_run(b, bx, by, -dx, -dy, player);
  // The run's cells lie strictly between the two ends, on one line.
  const int length = dx != 0 ? (fx - bx) * dx - 1 : (fy - by) * dy - 1;
  if (length > 5) return b.rule == RULE_CARO;
  return length == 5 && !(caro_blocks(b, fx, fy, player) && caro_blocks(b, bx, by, player));
}

namespace {

// The reach of every cell of the square along every direction, for the board's size and
// pattern radius: the cells within the radius that lie on the board along the line.
void compute_line_reach(Board& b) {
  const int n = b.size, r = b.pattern_radius, h = b.height, w = b.width;
  std::memset(b.line_reach, 0, sizeof b.line_reach);
  for (int x = 0; x < n; ++x)
    for (int y = 0; y < n; ++y)
      for (int d = 0; d < 4; ++d) {
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
        LineReach& reach = b.line_reach[x][y][d];
        if (lo > hi) continue;
        reach.lo = static_cast<int8_t>(lo);
        reach.count = static_cast<uint8_t>(hi - lo + 1);
        reach.word = static_cast<uint8_t>(line_word(b, d, x, y));
        // Positions along the line as reset_board lays the words out.
        const int position = d == 0 ? y : d == 1 ? x : d == 2 ? (y < n - 1 - x ? y : n - 1 - x) : (x < y ? x : y);
        reach.position = static_cast<uint8_t>(position);
      }
}

}  // namespace

void init_empty_bookkeeping(Board& b) {
  const int n = b.size;
  compute_line_reach(b);
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
  j.clock = 0;
  std::memset(j.changed_at, 0, sizeof j.changed_at);
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
      const uint16_t codes = static_cast<uint16_t>(code[0] << 12 | code[1] << 8 | code[2] << 4 | code[3]);
      for (int p = 0; p < 2; ++p) {
        CellSummary& c = b.cell_summaries[x][y][p];
        c.value_sum = value;
        c.room_sum = rooms;
        c.codes = codes;
        const int16_t combo = static_cast<int16_t>(value + combination(p, codes));
        c.weighted = static_cast<int16_t>(static_cast<int32_t>(combo) * rooms / 32);
        b.eval_total[p] += c.weighted;
      }
    }
}

}  // namespace zerin
