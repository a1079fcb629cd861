#include "board/patterns.h"

#include "board/board.h"
#include "core/rules.h"

namespace zerin {

const int16_t shape_value[16] = {0, 1, 2, 6, 7, 10, 23, 158, 175, 256, 256, 511, 2047, 0, 0, 0};
const int16_t combo_weight[16] = {3, 5, 4, 16, 16, 16, 16, 36, 36, 36, 40, 128, 256, 0, 0, 0};
const int16_t combo_penalty[16] = {0, 2, 4, 4, 5, 8, 21, 108, 125, 196, 196, 411, 1947, 0, 0, 0};

// Code of one five-cell segment of a window, indexed [flags][m][k]: flags is 1 when the
// cell before the segment is blocked (or the segment starts the window), plus 2 when the
// cell after it is; m holds the player's stones, segment offset 0 in bit 0; k is the
// segment's first window position, so the empty centre lies at offset 4 - k. Entries
// with a stone on the centre offset, and the rows with no stone or five stones, are
// never read.
const uint8_t shape_code_table[4][32][5] = {
    // flags 0: both ends open
    {
        { 1,  1,  1,  1,  1},  // .....
        { 1,  3,  4,  5,  0},  // X....
        { 3,  4,  5,  0,  5},  // .X...
        { 6,  7,  8,  0,  0},  // XX...
        { 4,  5,  0,  5,  4},  // ..X..
        { 6,  7,  0,  8,  0},  // X.X..
        { 7,  8,  0,  0,  8},  // .XX..
        {10, 11,  0,  0,  0},  // XXX..
        { 5,  0,  5,  4,  3},  // ...X.
        { 6,  0,  7,  7,  0},  // X..X.
        { 7,  0,  8,  0,  7},  // .X.X.
        { 9,  0, 11,  0,  0},  // XX.X.
        { 8,  0,  0,  8,  7},  // ..XX.
        {10,  0,  0, 11,  0},  // X.XX.
        {11,  0,  0,  0, 11},  // .XXX.
        {12,  0,  0,  0,  0},  // XXXX.
        { 0,  5,  4,  3,  1},  // ....X
        { 0,  6,  6,  6,  0},  // X...X
        { 0,  7,  7,  0,  6},  // .X..X
        { 0,  9, 10,  0,  0},  // XX..X
        { 0,  8,  0,  7,  6},  // ..X.X
        { 0, 10,  0, 10,  0},  // X.X.X
        { 0, 11,  0,  0, 10},  // .XX.X
        { 0, 12,  0,  0,  0},  // XXX.X
        { 0,  0,  8,  7,  6},  // ...XX
        { 0,  0, 10,  9,  0},  // X..XX
        { 0,  0, 11,  0,  9},  // .X.XX
        { 0,  0, 12,  0,  0},  // XX.XX
        { 0,  0,  0, 11, 10},  // ..XXX
        { 0,  0,  0, 12,  0},  // X.XXX
        { 0,  0,  0,  0, 12},  // .XXXX
        { 0,  0,  0,  0,  0},  // XXXXX
    },
    // flags 1: first-side end blocked
    {
        { 1,  1,  1,  1,  0},  // .....
        { 1,  2,  2,  2,  0},  // X....
        { 3,  4,  5,  0,  2},  // .X...
        { 6,  6,  6,  0,  0},  // XX...
        { 4,  5,  0,  5,  2},  // ..X..
        { 6,  6,  0,  6,  0},  // X.X..
        { 7,  8,  0,  0,  6},  // .XX..
        { 9,  9,  0,  0,  0},  // XXX..
        { 5,  0,  5,  4,  2},  // ...X.
        { 6,  0,  6,  6,  0},  // X..X.
        { 7,  0,  8,  0,  6},  // .X.X.
        { 9,  0,  9,  0,  0},  // XX.X.
        { 8,  0,  0,  8,  6},  // ..XX.
        {10,  0,  0,  9,  0},  // X.XX.
        {11,  0,  0,  0,  9},  // .XXX.
        {12,  0,  0,  0,  0},  // XXXX.
        { 0,  5,  4,  3,  1},  // ....X
        { 0,  6,  6,  6,  0},  // X...X
        { 0,  7,  7,  0,  6},  // .X..X
        { 0,  9,  9,  0,  0},  // XX..X
        { 0,  8,  0,  7,  6},  // ..X.X
        { 0, 10,  0,  9,  0},  // X.X.X
        { 0, 11,  0,  0,  9},  // .XX.X
        { 0, 12,  0,  0,  0},  // XXX.X
        { 0,  0,  8,  7,  6},  // ...XX
        { 0,  0, 10,  9,  0},  // X..XX
        { 0,  0, 11,  0,  9},  // .X.XX
        { 0,  0, 12,  0,  0},  // XX.XX
        { 0,  0,  0, 11, 10},  // ..XXX
        { 0,  0,  0, 12,  0},  // X.XXX
        { 0,  0,  0,  0, 12},  // .XXXX
        { 0,  0,  0,  0,  0},  // XXXXX
    },
    // flags 2: last-side end blocked
    {
        { 0,  1,  1,  1,  1},  // .....
        { 1,  3,  4,  5,  0},  // X....
        { 2,  4,  5,  0,  5},  // .X...
        { 6,  7,  8,  0,  0},  // XX...
        { 2,  5,  0,  5,  4},  // ..X..
        { 6,  7,  0,  8,  0},  // X.X..
        { 6,  8,  0,  0,  8},  // .XX..
        {10, 11,  0,  0,  0},  // XXX..
        { 2,  0,  5,  4,  3},  // ...X.
        { 6,  0,  7,  7,  0},  // X..X.
        { 6,  0,  8,  0,  7},  // .X.X.
        { 9,  0, 11,  0,  0},  // XX.X.
        { 6,  0,  0,  8,  7},  // ..XX.
        { 9,  0,  0, 11,  0},  // X.XX.
        { 9,  0,  0,  0, 11},  // .XXX.
        {12,  0,  0,  0,  0},  // XXXX.
        { 0,  2,  2,  2,  1},  // ....X
        { 0,  6,  6,  6,  0},  // X...X
        { 0,  6,  6,  0,  6},  // .X..X
        { 0,  9, 10,  0,  0},  // XX..X
        { 0,  6,  0,  6,  6},  // ..X.X
        { 0,  9,  0, 10,  0},  // X.X.X
        { 0,  9,  0,  0, 10},  // .XX.X
        { 0, 12,  0,  0,  0},  // XXX.X
        { 0,  0,  6,  6,  6},  // ...XX
        { 0,  0,  9,  9,  0},  // X..XX
        { 0,  0,  9,  0,  9},  // .X.XX
        { 0,  0, 12,  0,  0},  // XX.XX
        { 0,  0,  0,  9,  9},  // ..XXX
        { 0,  0,  0, 12,  0},  // X.XXX
        { 0,  0,  0,  0, 12},  // .XXXX
        { 0,  0,  0,  0,  0},  // XXXXX
    },
    // flags 3: both ends blocked
    {
        { 0,  0,  0,  0,  0},  // .....
        { 1,  1,  1,  1,  0},  // X....
        { 1,  1,  1,  0,  1},  // .X...
        { 6,  6,  6,  0,  0},  // XX...
        { 1,  1,  0,  1,  1},  // ..X..
        { 6,  6,  0,  6,  0},  // X.X..
        { 6,  6,  0,  0,  6},  // .XX..
        { 9,  9,  0,  0,  0},  // XXX..
        { 1,  0,  1,  1,  1},  // ...X.
        { 6,  0,  6,  6,  0},  // X..X.
        { 6,  0,  6,  0,  6},  // .X.X.
        { 9,  0,  9,  0,  0},  // XX.X.
        { 6,  0,  0,  6,  6},  // ..XX.
        { 9,  0,  0,  9,  0},  // X.XX.
        { 9,  0,  0,  0,  9},  // .XXX.
        {12,  0,  0,  0,  0},  // XXXX.
        { 0,  1,  1,  1,  1},  // ....X
        { 0,  6,  6,  6,  0},  // X...X
        { 0,  6,  6,  0,  6},  // .X..X
        { 0,  9,  9,  0,  0},  // XX..X
        { 0,  6,  0,  6,  6},  // ..X.X
        { 0,  9,  0,  9,  0},  // X.X.X
        { 0,  9,  0,  0,  9},  // .XX.X
        { 0, 12,  0,  0,  0},  // XXX.X
        { 0,  0,  6,  6,  6},  // ...XX
        { 0,  0,  9,  9,  0},  // X..XX
        { 0,  0,  9,  0,  9},  // .X.XX
        { 0,  0, 12,  0,  0},  // XX.XX
        { 0,  0,  0,  9,  9},  // ..XXX
        { 0,  0,  0, 12,  0},  // X.XXX
        { 0,  0,  0,  0, 12},  // .XXXX
        { 0,  0,  0,  0,  0},  // XXXXX
    },
};

PatternEntry pattern_table[WINDOW_COUNT];
int16_t combo_table[2][16][16][16][16];
uint16_t packed_patterns[WINDOW_COUNT];

namespace {

inline int window_cell(int window, int pos) { return (window >> (2 * pos)) & 3; }

// Room of player p: cells that are empty or p's, walking out from the centre on each
// side until the first opponent stone or blocked cell.
int16_t window_room(int window, int p) {
  int room = 0;
  for (int pos = 3; pos >= 0; --pos) {
    const int c = window_cell(window, pos);
    if (c != 0 && c != p) break;
    ++room;
  }
  for (int pos = 5; pos <= 8; ++pos) {
    const int c = window_cell(window, pos);
    if (c != 0 && c != p) break;
    ++room;
  }
  return static_cast<int16_t>(room);
}

// Correction of the general kind: the strongest direction loses its penalty, and two
// strong directions meeting at an otherwise quiet cell earn a bonus.
int general_combo(int c1, int c2, int c3, int c4) {
  int t = -combo_penalty[c1];
  if (c3 == 0 && c4 == 0 && c1 >= 1) {
    if (c2 == 0) {
      t += 3 * combo_weight[c1] / 256;
    } else {
      t += 3 * combo_weight[c1] * combo_weight[c2] / 256;
    }
  }
  return t;
}

// Correction for the Renju first player, whose overlines, double fours and double threes
// are forbidden: such cells are valued down. Codes are sorted c1 >= c2 >= c3 >= c4.
int renju_black_combo(int c1, int c2, int c3, int c4) {
  const int codes[4] = {c1, c2, c3, c4};
  int fives = 0, open_fours = 0, fours = 0, threes = 0;
  for (int c : codes) {
    if (c == 12) ++fives;
    if (c == 11) ++open_fours;
    if (c == 9 || c == 10) ++fours;
    if (c == 7 || c == 8) ++threes;
  }
  const int value_sum = shape_value[c1] + shape_value[c2] + shape_value[c3] + shape_value[c4];

  if (c1 == 13) {
    // The overline direction already counts 0; a five elsewhere still wins.
    if (c2 == 12 || c3 == 12 || c4 == 12) return 0;
    const int other_open_fours = (c2 == 11) + (c3 == 11) + (c4 == 11);
    if (other_open_fours > 0) return -255 * other_open_fours;
    return -(shape_value[c2] + shape_value[c3] + shape_value[c4]);
  }
  if (open_fours + fours >= 2 && fives == 0) {
    return 256 * open_fours + 64 * fours - value_sum;
  }
  if (threes >= 2) {
    if (open_fours + fours > 0) return -value_sum;
    return -combo_penalty[c1] - 158;
  }
  return general_combo(c1, c2, c3, c4);
}

// Stores t under every ordering of the four codes.
void store_all_orderings(int16_t (&table)[16][16][16][16], int c1, int c2, int c3, int c4,
                         int16_t t) {
  static constexpr int PERMUTATIONS[24][4] = {
      {0, 1, 2, 3}, {0, 1, 3, 2}, {0, 2, 1, 3}, {0, 2, 3, 1}, {0, 3, 1, 2}, {0, 3, 2, 1},
      {1, 0, 2, 3}, {1, 0, 3, 2}, {1, 2, 0, 3}, {1, 2, 3, 0}, {1, 3, 0, 2}, {1, 3, 2, 0},
      {2, 0, 1, 3}, {2, 0, 3, 1}, {2, 1, 0, 3}, {2, 1, 3, 0}, {2, 3, 0, 1}, {2, 3, 1, 0},
      {3, 0, 1, 2}, {3, 0, 2, 1}, {3, 1, 0, 2}, {3, 1, 2, 0}, {3, 2, 0, 1}, {3, 2, 1, 0}};
  const int c[4] = {c1, c2, c3, c4};
  for (const auto& p : PERMUTATIONS) table[c[p[0]]][c[p[1]]][c[p[2]]][c[p[3]]] = t;
}

}  // namespace

namespace {

// classify_window for the rules other than Caro (CARO false) and for Caro.
template <bool CARO>
PatternEntry classify(int window, int rule) {
  PatternEntry e{};
  if (window_cell(window, 4) != 0) return e;

  int best[3] = {0, 0, 0};
  bool overline[3] = {false, false, false};
  for (int k = 0; k <= 4; ++k) {
    int m = 0;
    int colours = 0;
    for (int j = 0; j < 5; ++j) {
      const int c = window_cell(window, k + j);
      if (c == 1 || c == 2) m |= 1 << j;
      colours |= c;  // a blocked cell (3) sets both colour bits
    }
    if (colours == EMPTY || colours == BLOCKED) continue;
    const int p = colours;
    const int opp = opponent(p);

    const int before = k > 0 ? window_cell(window, k - 1) : -1;
    const int after = k < 4 ? window_cell(window, k + 5) : -1;
    const bool first_blocked = k == 0 || before == opp || before == 3;
    const bool last_blocked = k == 4 || after == opp || after == 3;
    const int flags = (first_blocked ? 1 : 0) + (last_blocked ? 2 : 0);

    const int code = shape_code_table[flags][m][k];
    // Caro: a segment with an opponent's stone or the edge right past both ends can only
    // ever become a five blocked at both ends, which does not win. Where the window holds
    // both of those cells, the segment makes nothing; its five is marked as one that
    // does not win. (A segment at the window's edge is judged on the board.)
    if (CARO && k > 0 && k < 4 && (before == opp || before == BLOCKED) && (after == opp || after == BLOCKED)) {
      if (code == SHAPE_FIVE) overline[p] = true;
      continue;
    }
    if (code > best[p]) {
      // A five that continues into an own stone just outside the segment is six or more.
      if constexpr (CARO) {
        if (rule == RULE_CARO_EXACT && code == SHAPE_FIVE && (before == p || after == p)) overline[p] = true;
      } else if (rule != RULE_FREESTYLE && code == SHAPE_FIVE && (before == p || after == p) &&
                 (p == BLACK || rule == RULE_STANDARD)) {
        overline[p] = true;
      }
      best[p] = code;
    }
  }

  for (int p = 1; p <= 2; ++p) {
    e.code[p - 1] = static_cast<int16_t>(overline[p] ? SHAPE_OVERLINE : best[p]);
    e.room[p - 1] = window_room(window, p);
  }
  return e;
}

// Every window's entry, in both tables.
template <bool CARO>
void classify_all(int rule) {
  for (int w = 0; w < WINDOW_COUNT; ++w) {
    const PatternEntry e = classify<CARO>(w, rule);
    pattern_table[w] = e;
    packed_patterns[w] = static_cast<uint16_t>(e.code[0] | e.code[1] << 4 | e.room[0] << 8 | e.room[1] << 12);
  }
}

}  // namespace

PatternEntry classify_window(int window, int rule) {
  return is_caro(rule) ? classify<true>(window, rule) : classify<false>(window, rule);
}

void build_pattern_tables(int rule) {
  // The tables depend only on which of free-style, standard, Renju, the two Caro rules or
  // another rule is in force; a rebuild for the same kind of rule (every new game) would
  // write the same contents again.
  static int built_kind = -1;
  const int kind = rule == RULE_FREESTYLE   ? 0
                   : rule == RULE_STANDARD  ? 1
                   : rule == RULE_RENJU     ? 2
                   : rule == RULE_CARO      ? 4
                   : rule == RULE_CARO_EXACT ? 5
                                             : 3;
  if (kind == built_kind) return;
  built_kind = kind;
  if (is_caro(rule))
    classify_all<true>(rule);
  else
    classify_all<false>(rule);

  for (int player = 1; player <= 2; ++player) {
    const bool renju_black = rule == RULE_RENJU && player == BLACK;
    for (int c1 = 0; c1 < 16; ++c1) {
      for (int c2 = 0; c2 <= c1; ++c2) {
        for (int c3 = 0; c3 <= c2; ++c3) {
          for (int c4 = 0; c4 <= c3; ++c4) {
            const int t = renju_black ? renju_black_combo(c1, c2, c3, c4)
                                      : general_combo(c1, c2, c3, c4);
            store_all_orderings(combo_table[player - 1], c1, c2, c3, c4,
                                static_cast<int16_t>(t));
          }
        }
      }
    }
  }
}

}  // namespace zerin
