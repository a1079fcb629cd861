#include "threats/forbidden.h"

#include "board/patterns.h"

namespace zerin {

namespace {

inline int black_code(const Board& b, int x, int y, int d) { return slot_code(b.dir_shapes[x][y][d], 0); }

inline void walk_black(const Board& b, int& x, int& y, int dx, int dy) { walk_run(b, x, y, dx, dy, BLACK); }

// Both ends of the black run through (x, y) along d could complete a five: the only
// way a single four-code direction can hide two fours.
bool line_check(const Board& b, int x, int y, int d) {
  for (int sign = 1; sign >= -1; sign -= 2) {
    int cx = x, cy = y;
    walk_black(b, cx, cy, sign * DIR_DX[d], sign * DIR_DY[d]);
    if (!on_board(b, cx, cy) || black_code(b, cx, cy, d) < SHAPE_FOUR) return false;
  }
  return true;
}

// A completing cell counts when it has the wanted code with the trial stone in place
// and is itself playable.
bool end_counts(Board& b, int x, int y, int d, int wanted) {
  return on_board(b, x, y) && black_code(b, x, y, d) == wanted && !is_forbidden(b, x, y);
}

int full_test(Board& b, int x, int y, const int* codes, int first, int last) {
  place_stone_light(b, x, y, BLACK);
  int threes = 0, fours = 0;
  for (int d = first; d <= last; ++d) {
    const int code = codes[d];
    if (code < SHAPE_SPLIT_THREE || code > SHAPE_OPEN_FOUR) continue;
    const int dx = DIR_DX[d], dy = DIR_DY[d];
    // A three counts once when one of its extension cells makes a real straight four. A
    // four counts at each end that completes a playable five, except that both ends of
    // a straight four are one four.
    const bool three = code <= SHAPE_OPEN_THREE;
    const int wanted = three ? SHAPE_OPEN_FOUR : SHAPE_FIVE;
    const bool counts_once = three || code == SHAPE_OPEN_FOUR;
    int& found = three ? threes : fours;
    for (int sign = 1; sign >= -1; sign -= 2) {
      int cx = x, cy = y;
      walk_black(b, cx, cy, sign * dx, sign * dy);
      if (end_counts(b, cx, cy, d, wanted)) {
        ++found;
        if (counts_once) break;
      }
    }
  }
  remove_stone_light(b, x, y, BLACK);
  return threes >= 2 || fours >= 2;
}

}  // namespace

int is_forbidden(Board& b, int x, int y) {
  int codes[4];
  bool overline = false;
  int threats = 0, first = -1, last = -1;
  for (int d = 0; d < 4; ++d) {
    const int code = black_code(b, x, y, d);
    codes[d] = code;
    if (code == SHAPE_FIVE) return 0;  // an exact five is never forbidden
    if (code == SHAPE_OVERLINE) {
      overline = true;
    } else if (code >= SHAPE_SPLIT_THREE && code <= SHAPE_OPEN_FOUR) {
      ++threats;
      if (first < 0) first = d;
      last = d;
    }
  }
  if (overline) return 1;
  if (threats == 0) return 0;
  if (threats == 1) {
    const int code = codes[first];
    if (code != SHAPE_FOUR && code != SHAPE_FOUR_OPEN_END) return 0;
    if (!line_check(b, x, y, first)) return 0;
  } else if (threats == 2) {
    const int first_code = codes[first], last_code = codes[last];
    const bool same_kind = (first_code >= SHAPE_FOUR && last_code >= SHAPE_FOUR) ||
                           (first_code <= SHAPE_OPEN_THREE && last_code <= SHAPE_OPEN_THREE);
    if (!same_kind && !line_check(b, x, y, first_code >= SHAPE_FOUR ? first : last)) return 0;
  }
  return full_test(b, x, y, codes, first, last);
}

}  // namespace zerin
