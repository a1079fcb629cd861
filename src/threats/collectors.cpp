#include "threats/collectors.h"

#include "board/patterns.h"
#include "core/rules.h"
#include "threats/forbidden.h"

namespace zerin {

namespace {

template <typename RowWord>
int collect_cells(Candidate* list, int32_t rows, RowWord row_word) {
  int n = 0;
  for_each_cell(rows, row_word, [list, &n](int x, int y) {
    list[n].x = static_cast<int16_t>(x);
    list[n].y = static_cast<int16_t>(y);
    ++n;
  });
  return n;
}

int collect_kind(const Board& b, Candidate* list, int kind, int player) {
  const int p = player_index(player);
  const int32_t* rows = b.threat_sets.row_mask[kind][p];
  return collect_cells(list, b.threat_sets.set_rows[kind][p], [rows](int x) { return rows[x]; });
}

}  // namespace

int collect_five_points(const Board& b, Candidate* list, int player) {
  return collect_kind(b, list, FIVE_POINTS, player);
}
int collect_open_four_points(const Board& b, Candidate* list, int player) {
  return collect_kind(b, list, OPEN_FOUR_POINTS, player);
}
int collect_four_points(const Board& b, Candidate* list, int player) {
  return collect_kind(b, list, FOUR_POINTS, player);
}
int collect_three_points(const Board& b, Candidate* list, int player) {
  return collect_kind(b, list, THREE_POINTS, player);
}
int collect_double_threat_points(const Board& b, Candidate* list, int player) {
  return collect_kind(b, list, DOUBLE_THREAT_POINTS, player);
}

int collect_plain_threat_points(const Board& b, Candidate* list, int player) {
  const int p = player_index(player);
  const ThreatSets& t = b.threat_sets;
  return collect_cells(list, t.set_rows[FOUR_POINTS][p] | t.set_rows[THREE_POINTS][p], [&](int x) {
    return (t.row_mask[FOUR_POINTS][p][x] | t.row_mask[THREE_POINTS][p][x]) & ~t.row_mask[DOUBLE_THREAT_POINTS][p][x];
  });
}

int defence_points(Board& b, Candidate* list, int attacker, int x, int y) {
  int d = 0;
  while (d < 3 && slot_code(b.dir_shapes[x][y][d], attacker - 1) != SHAPE_OPEN_FOUR) ++d;
  int dx = DIR_DX[d], dy = DIR_DY[d];
  auto holds = [&b, attacker](int cx, int cy) { return holds_stone(b, cx, cy, attacker); };
  auto write = [list](int i, int cx, int cy) {
    list[i].x = static_cast<int16_t>(cx);
    list[i].y = static_cast<int16_t>(cy);
  };
  if (holds(x + dx, y + dy) && holds(x - dx, y - dy)) {
    // The point lies inside the group: the two ends of the straight four it would make.
    for (int i = 0; i < 2; ++i) {
      const int sx = i == 0 ? dx : -dx, sy = i == 0 ? dy : -dy;
      int cx = x + sx, cy = y + sy;
      while (on_board(b, cx + sx, cy + sy) && b.cells[cx][cy] != EMPTY) {
        cx += sx;
        cy += sy;
      }
      write(i, cx, cy);
    }
    return 2;
  }
  if (holds(x - dx, y - dy)) {
    dx = -dx;
    dy = -dy;
  }
  const int fx = x + 4 * dx, fy = y + 4 * dy;
  const bool open_four_end = slot_code(b.dir_shapes[fx][fy][d], attacker - 1) == SHAPE_OPEN_FOUR;
  if (open_four_end && !(b.rule == RULE_RENJU && attacker == BLACK && is_forbidden(b, fx, fy)))
    return 0;  // the far end is an open-four point of its own
  write(0, fx, fy);
  write(1, x - dx, y - dy);
  return 2;
}

namespace {

// The star's columns per row offset, placed for each column y: rows x-3 and x+3 hold
// y-3, y and y+3; rows x-2..x+2 hold y-2..y+2; row x holds y-3..y+3. Columns below 0
// fall away.
struct StarMasks {
  uint32_t by_row[MAX_SIDE][7];
  StarMasks() {
    for (int y = 0; y < MAX_SIDE; ++y)
      for (int r = -3; r <= 3; ++r) {
        const uint32_t mask = (r == -3 || r == 3) ? 73u : r == 0 ? 127u : 31u;
        const int shift = (r == -3 || r == 3 || r == 0) ? y - 3 : y - 2;
        by_row[y][r + 3] = shift >= 0 ? mask << shift : mask >> -shift;
      }
  }
};
const StarMasks star_masks;

}  // namespace

int star_count(const Board& b, int x, int y, int player, const int32_t* excluded_rows) {
  const int p = player_index(player);
  const int32_t* fives = b.threat_sets.row_mask[FIVE_POINTS][p];
  const int32_t* open_fours = b.threat_sets.row_mask[OPEN_FOUR_POINTS][p];
  const uint32_t* masks = star_masks.by_row[y];
  const int first = x - 3 < 0 ? 0 : x - 3;
  const int last = x + 3 < b.height ? x + 3 : b.height - 1;
  int count = 0;
  for (int row = first; row <= last; ++row) {
    uint32_t cells = static_cast<uint32_t>(fives[row] | open_fours[row]) & masks[row - x + 3];
    if (cells == 0) continue;
    if (excluded_rows != nullptr) cells &= ~static_cast<uint32_t>(excluded_rows[row]);
    count += bit_count(cells);
  }
  return count;
}

}  // namespace zerin
