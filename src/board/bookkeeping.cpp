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

// Gives cell (x, y) the code and room `code`, `room` along direction d for player index
// p, with value_sum moved by value_change, and keeps the totals and threat sets in step:
// the cell's old terms come out and its new terms go in. Terms that are the same before
// and after (the same threat kind, the same side of the double-threat value) are left
// where they are, since taking them out and putting them back changes nothing. The light
// version leaves the double-threat points alone.
template <bool LIGHT>
inline __attribute__((always_inline)) void change_code(Board& b, int d, int x, int y, int p, int code, int room,
                                                        int value_change) {
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

// Sets a corrected code, lowering value_sum by the shape values' difference.
template <bool LIGHT>
void correct_code(Board& b, int x, int y, int d, int p, int code, int value_drop) {
  change_code<LIGHT>(b, d, x, y, p, code, b.dir_shapes[x][y][d].room[p], -value_drop);
}

// Under rules 1 and 2 a window's five may be an overline seen from outside the window,
// and an open four may have an end that would make six.
template <bool LIGHT>
void check_five_rule(Board& b, int x, int y, int d, int player) {
  const int p = player - 1;
  const int dx = DIR_DX[d], dy = DIR_DY[d];
  if (b.dir_shapes[x][y][d].code[p] == SHAPE_FIVE) {
    const bool overline =
        (!holds_stone(b, x - dx, y - dy, player) && holds_stone(b, x + 5 * dx, y + 5 * dy, player)) ||
        (!holds_stone(b, x + dx, y + dy, player) && holds_stone(b, x - 5 * dx, y - 5 * dy, player));
    if (overline) correct_code<LIGHT>(b, x, y, d, p, SHAPE_OVERLINE, shape_value[SHAPE_FIVE]);
  } else if (!is_true_open_four(b, x, y, d, player)) {
    correct_code<LIGHT>(b, x, y, d, p, SHAPE_FOUR, shape_value[SHAPE_OPEN_FOUR] - shape_value[SHAPE_FOUR]);
  }
}

// Re-reads cell (x, y)'s window e along direction d; s is its DirShape for d.
template <bool LIGHT>
inline void refresh_cell(Board& b, int d, int x, int y, uint16_t e, DirShape& s) {
  const int code0 = packed_code(e, 0), code1 = packed_code(e, 1);
  // Most visits change nothing: both codes as before, and no five or open four that the
  // rule would have to look at again.
  if (code0 == s.code[0] && code1 == s.code[1]) {
    if (b.rule == RULE_FREESTYLE) return;
    const bool check_first = s.code[0] == SHAPE_OPEN_FOUR || s.code[0] == SHAPE_FIVE;
    const bool check_second = b.rule == RULE_STANDARD && (s.code[1] == SHAPE_OPEN_FOUR || s.code[1] == SHAPE_FIVE);
    if (check_first) check_five_rule<LIGHT>(b, x, y, d, 1);
    if (check_second) check_five_rule<LIGHT>(b, x, y, d, 2);
    return;
  }
  for (int p = 0; p < 2; ++p) {
    const int code = packed_code(e, p);
    if (code != s.code[p])
      change_code<LIGHT>(b, d, x, y, p, code, packed_room(e, p), shape_value[code] - shape_value[s.code[p]]);
    // Player 1's fives and open fours are checked under rules 1 and 2 (and any other
    // non-zero rule), player 2's only under the standard rule.
    const bool checked = p == 0 ? b.rule != RULE_FREESTYLE : b.rule == RULE_STANDARD;
    if (checked && (s.code[p] == SHAPE_OPEN_FOUR || s.code[p] == SHAPE_FIVE)) check_five_rule<LIGHT>(b, x, y, d, p + 1);
  }
}

inline int min3(int a, int b, int c) { return a < b ? (a < c ? a : c) : (b < c ? b : c); }
inline int max3(int a, int b, int c) { return a > b ? (a > c ? a : c) : (b > c ? b : c); }

// Visits the cells within b.pattern_radius of (x, y) along direction d that lie on the
// board, in line order. They form one run along the line, and their positions in the
// line word are consecutive, so the window slides by one cell per step.
template <bool LIGHT>
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
  uint64_t window = b.lines[d][line_word(b, d, x, y)] >> (2 * (line_position(d, x, y) + lo));
  int cx = x + lo * dx, cy = y + lo * dy;
  for (int i = lo; i <= hi; ++i, cx += dx, cy += dy, window >>= 2)
    refresh_cell<LIGHT>(b, d, cx, cy, packed_patterns[window & 0x3FFFF], b.dir_shapes[cx][cy][d]);
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

void update_line(Board& b, int d, int x, int y) { update_line_impl<false>(b, d, x, y); }
void update_line_light(Board& b, int d, int x, int y) { update_line_impl<true>(b, d, x, y); }

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
