// Cell lists drawn from the threat sets, and the defence points against an open three.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "core/types.h"

namespace zerin {

// Each writes the cells of one set of player (1 or 2) from list[0], row by row in
// increasing x and within a row in increasing y, and returns how many it wrote. The
// score fields are left as they were.
int collect_five_points(const Board& b, Candidate* list, int player);
int collect_open_four_points(const Board& b, Candidate* list, int player);
int collect_four_points(const Board& b, Candidate* list, int player);
int collect_three_points(const Board& b, Candidate* list, int player);
int collect_double_threat_points(const Board& b, Candidate* list, int player);
// Four or three points that are not double-threat points.
int collect_plain_threat_points(const Board& b, Candidate* list, int player);

// Caro, with the attacker to complete a five at `count` five points (count >= 2) listed
// from list[0]: one stone can stop several fives on one line, since a five point whose
// run's other end it takes may become a five blocked at both ends. The index of the
// first five point after whose block the attacker has no five point left, or -1.
int caro_stopping_block(Board& b, const Candidate* list, int count, int attacker);

// For an open-four point (x, y) of the attacker: the two further cells that stop the open
// three, written to list[0] and list[1]; returns 2, or 0 when none are needed.
int defence_points(Board& b, Candidate* list, int attacker, int x, int y);

// Five points and open-four points of player among the 33 cells of the star of (x, y),
// leaving out cells marked in excluded_rows (bit y of word x) when it is given.
int star_count(const Board& b, int x, int y, int player, const int32_t* excluded_rows);
inline int star_threat_count(const Board& b, int x, int y, int player) { return star_count(b, x, y, player, nullptr); }

// Calls visit(x, y) for every cell of a set given its rows word and, per row x, the row's
// word row_word(x): rows in increasing x, and within a row in increasing y.
template <typename RowWord, typename Visit>
inline void for_each_cell(int32_t rows, RowWord row_word, Visit visit) {
  uint32_t r = static_cast<uint32_t>(rows);
  while (r != 0) {
    const int x = __builtin_ctz(r);
    uint32_t w = static_cast<uint32_t>(row_word(x));
    while (w != 0) {
      visit(x, __builtin_ctz(w));
      w &= w - 1;
    }
    r &= r - 1;
  }
}

// The first cell (lowest x, then lowest y) of a set, given its rows word and row masks.
inline void first_cell(int32_t rows, const int32_t* row_masks, int* x, int* y) {
  *x = __builtin_ctz(static_cast<uint32_t>(rows));
  *y = __builtin_ctz(static_cast<uint32_t>(row_masks[*x]));
}

}  // namespace zerin
