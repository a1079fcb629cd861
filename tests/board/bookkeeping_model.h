// The position and its bookkeeping worked out again from the cells alone, and checks
// that compare them with what the engine keeps incrementally. Shared by the board tests
// and the fuzz targets, so it reports faults as text and does not depend on GoogleTest.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/bookkeeping.h"
#include "board/patterns.h"
#include "core/cell.h"

namespace zerin_test {

using namespace zerin;

// On the n by n square a board works on (rectangular padding included).
inline bool on_square(int n, int x, int y) { return x >= 0 && x < n && y >= 0 && y < n; }

// The 9-cell window around (x, y) along direction d, gathered from the cells: the first
// cell off the square on each side is the border (3), anything beyond it is 0.
inline int window_from_cells(const Board& b, int d, int x, int y) {
  int w = 0;
  for (int side = -1; side <= 1; side += 2) {
    bool past_border = false;
    for (int i = 1; i <= 4; ++i) {
      const int cx = x + side * i * DIR_DX[d], cy = y + side * i * DIR_DY[d];
      int code = 0;
      if (on_square(b.size, cx, cy)) {
        code = b.cells[cx][cy];
      } else if (!past_border) {
        code = 3;
        past_border = true;
      }
      w |= code << (2 * (4 + side * i));
    }
  }
  return w | b.cells[x][y] << 8;
}

inline int window_from_word(const Board& b, int d, int x, int y) {
  const uint64_t word = b.lines[d][line_word(b, d, x, y)];
  return static_cast<int>((word >> (2 * line_position(d, x, y))) & 0x3FFFF);
}

// Length of the run of the player's stones through (x, y) along d, counting (x, y) itself
// as the player's and, when (fx, fy) is on the board, that cell too.
inline int run_length(const Board& b, int x, int y, int d, int player, int fx = -100, int fy = -100) {
  auto own = [&](int cx, int cy) {
    return (cx == x && cy == y) || (cx == fx && cy == fy) || holds_stone(b, cx, cy, player);
  };
  int length = 1;
  for (int side = -1; side <= 1; side += 2)
    for (int i = 1; own(x + side * i * DIR_DX[d], y + side * i * DIR_DY[d]); ++i) ++length;
  return length;
}

// The code a stone of player on the empty cell (x, y) really has along d under the rule,
// given what the 9-cell window says: a window five that is part of a longer run is an
// overline, and an open four one of whose completions would give six or more is just a
// four. Only the first player under rules 1 and 2 and the second player under rule 1 are
// judged this way; the others keep the window's code.
inline int judged_code(const Board& b, int x, int y, int d, int player, int window_code) {
  const bool judged = player == 1 ? b.rule != 0 : b.rule == 1;
  if (!judged) return window_code;
  if (window_code == SHAPE_FIVE && run_length(b, x, y, d, player) > 5) return SHAPE_OVERLINE;
  if (window_code == SHAPE_OPEN_FOUR) {
    // Count the empty cells that join the four and turn it into exactly five.
    const int four = run_length(b, x, y, d, player);
    int exact_fives = 0;
    for (int i = -5; i <= 5; ++i) {
      const int cx = x + i * DIR_DX[d], cy = y + i * DIR_DY[d];
      if (i == 0 || !on_board(b, cx, cy) || b.cells[cx][cy] != 0) continue;
      const int joined = run_length(b, x, y, d, player, cx, cy);
      if (joined > four && joined == 5) ++exact_fives;
    }
    if (exact_fives < 2) return SHAPE_FOUR;
  }
  return window_code;
}

// The code and room reset_board gives a cell of the n by n square, worked out from the
// cell's place on the square.
inline int start_code(int d, int x, int y, int n) {
  const bool x_inner = x > 0 && x < n - 1, y_inner = y > 0 && y < n - 1;
  return d == 0 ? y_inner : d == 1 ? x_inner : x_inner && y_inner;
}

inline int start_room(int d, int x, int y, int n) {
  if (d <= 1) {
    const int v = d == 0 ? y : x;
    return v < 4 ? v + 4 : v >= n - 4 ? n - v + 3 : 8;
  }
  int room = 0;
  for (int side = -1; side <= 1; side += 2)
    for (int i = 1; i <= 4 && on_square(n, x + side * i * DIR_DX[d], y + side * i * DIR_DY[d]); ++i) ++room;
  return room;
}

// reset_board's code, which the diagonals drop to 0 where the room is below 5.
inline int start_code_with_room(int d, int x, int y, int n) {
  return d >= 2 && start_room(d, x, y, n) < 5 ? 0 : start_code(d, x, y, n);
}

// Everything place/remove must restore exactly.
struct PositionSnapshot {
  int cells[MAX_SIDE][MAX_SIDE];
  uint64_t lines[4][LINE_WORDS];
  uint64_t hash_key;
  int move_count;
  PlacedStone moves[MAX_CELLS];

  static PositionSnapshot take(const Board& b) {
    PositionSnapshot s;
    std::memcpy(s.cells, b.cells, sizeof s.cells);
    std::memcpy(s.lines, b.lines, sizeof s.lines);
    s.hash_key = b.hash_key;
    s.move_count = b.move_count;
    std::memcpy(s.moves, b.move_list, sizeof s.moves);
    return s;
  }

  // Empty string when the board b matches, otherwise what differs first.
  std::string difference(const Board& b) const {
    for (int x = 0; x < MAX_SIDE; ++x)
      for (int y = 0; y < MAX_SIDE; ++y)
        if (cells[x][y] != b.cells[x][y]) return "cell " + std::to_string(x) + "," + std::to_string(y);
    for (int d = 0; d < 4; ++d)
      for (int w = 0; w < LINE_WORDS; ++w)
        if (lines[d][w] != b.lines[d][w]) return "line word " + std::to_string(d) + "/" + std::to_string(w);
    if (hash_key != b.hash_key) return "hash key";
    if (move_count != b.move_count) return "move count";
    for (int i = 0; i < move_count; ++i)
      if (moves[i].x != b.move_list[i].x || moves[i].y != b.move_list[i].y)
        return "move list entry " + std::to_string(i);
    return "";
  }
};

// Threat kind of a shape code, -1 for none.
constexpr int KIND_OF[16] = {-1, -1, -1, -1, -1, -1, -1, 3, 3, 2, 2, 1, 0, -1, -1, -1};

inline std::string at(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }

inline std::string mismatch(const std::string& what, long stored, long expected) {
  return what + ": stored " + std::to_string(stored) + ", expected " + std::to_string(expected);
}

// Summaries, totals and threat sets recomputed from the stored codes and rooms of all
// cells; empty when they agree, else the first difference. Kind 4 is left out while a
// light stone is down, since it then still describes the position before it.
inline std::string sums_and_sets_fault(const Board& b, bool with_double_threats) {
  const ThreatSets& threat_sets = b.threat_sets;
  for (int p = 0; p < 2; ++p) {
    const std::string player = "player " + std::to_string(p + 1) + " ";
    int32_t eval = 0, rooms = 0;
    int32_t row_mask[5][MAX_SIDE] = {};
    for (int x = 0; x < MAX_SIDE; ++x)
      for (int y = 0; y < MAX_SIDE; ++y) {
        int code[4];
        for (int d = 0; d < 4; ++d) code[d] = slot_code(b.dir_shapes[x][y][d], p);
        const CellSummary& c = b.cell_summaries[x][y][p];
        int value = 0, room = 0, dir_mask[4] = {};
        for (int d = 0; d < 4; ++d) {
          value += shape_value[code[d]];
          room += slot_room(b.dir_shapes[x][y][d], p);
          if (KIND_OF[code[d]] >= 0) dir_mask[KIND_OF[code[d]]] |= 1 << d;
        }
        if (c.value_sum != value) return mismatch(player + "value sum at " + at(x, y), c.value_sum, value);
        if (c.room_sum != room) return mismatch(player + "room sum at " + at(x, y), c.room_sum, room);
        const int codes = code[0] << 12 | code[1] << 8 | code[2] << 4 | code[3];
        if (c.codes != codes) return mismatch(player + "codes at " + at(x, y), c.codes, codes);
        const int16_t combo = static_cast<int16_t>(value + combo_table[p][code[0]][code[1]][code[2]][code[3]]);
        const int16_t weighted = static_cast<int16_t>(room * combo / 32);
        if (c.weighted != weighted) return mismatch(player + "weighted value at " + at(x, y), c.weighted, weighted);
        eval += c.weighted;
        if (room >= 25 && value >= 6) rooms += room;
        for (int k = 0; k < 4; ++k) {
          if (threat_sets.dir_mask[k][p][x][y] != dir_mask[k])
            return mismatch(player + "kind " + std::to_string(k) + " directions at " + at(x, y),
                            threat_sets.dir_mask[k][p][x][y], dir_mask[k]);
          if (dir_mask[k]) row_mask[k][x] |= 1 << y;
        }
        if (value >= DOUBLE_THREAT_VALUE) row_mask[4][x] |= 1 << y;
      }
    if (b.eval_total[p] != eval) return mismatch(player + "evaluation total", b.eval_total[p], eval);
    if (b.room_total[p] != rooms) return mismatch(player + "room total", b.room_total[p], rooms);
    for (int k = 0; k < (with_double_threats ? 5 : 4); ++k) {
      int32_t rows = 0;
      for (int x = 0; x < MAX_SIDE; ++x) {
        if (threat_sets.row_mask[k][p][x] != row_mask[k][x])
          return mismatch(player + "kind " + std::to_string(k) + " row " + std::to_string(x),
                          threat_sets.row_mask[k][p][x], row_mask[k][x]);
        if (row_mask[k][x]) rows |= 1 << x;
      }
      if (threat_sets.set_rows[k][p] != rows)
        return mismatch(player + "kind " + std::to_string(k) + " row summary", threat_sets.set_rows[k][p], rows);
    }
  }
  return "";
}

// The position's own records against its cells: the line words, the hash key, the stone
// count and the blocked padding of a rectangular board. Empty when they agree. The move
// list's entries are not compared: TAKEBACK may name a stone that is not the last one
// placed, and the list is kept as a stack (nothing in the engine reads its entries).
inline std::string position_fault(const Board& b) {
  const int n = b.size;
  uint64_t key = 0;
  int stones = 0;
  for (int x = 0; x < MAX_SIDE; ++x)
    for (int y = 0; y < MAX_SIDE; ++y) {
      const int cell = b.cells[x][y];
      if (cell < 0 || cell > 3) return mismatch("cell value at " + at(x, y), cell, 0);
      if (!on_square(n, x, y)) {
        if (cell != 0) return mismatch("cell off the square at " + at(x, y), cell, 0);
        continue;
      }
      // reset_board pads a rectangular board only.
      if (b.width != b.height && !on_board(b, x, y) && cell != 3)
        return mismatch("padding cell at " + at(x, y), cell, 3);
      if (cell != 0) key ^= zobrist_keys[x * MAX_SIDE + y][cell - 1];
      if (cell == 1 || cell == 2) ++stones;
      for (int d = 0; d < 4; ++d) {
        const int w = window_from_cells(b, d, x, y);
        if (window_from_word(b, d, x, y) != w)
          return mismatch("line word window of " + at(x, y) + " d" + std::to_string(d), window_from_word(b, d, x, y),
                          w);
      }
    }
  // The square is max(width, height) on a side: 1 to 24, or 0 for the position of a game
  // with no size set yet (zrshowforbid before any START builds one).
  const int side = b.width > b.height ? b.width : b.height;
  if (n != side || b.width < 0 || b.height < 0 || n > MAX_SIDE) return mismatch("board size", n, side);
  if (b.hash_key != key) return "hash key differs from the cells";
  if (b.move_count != stones) return mismatch("move count", b.move_count, stones);
  return "";
}

// The shape codes against the cells, for a position changed only by place/remove since
// reset_board. A code comes from the pattern table once some cell within pattern_radius
// of it along that line has changed since the reset (the blocked padding of a
// rectangular board included); until then it keeps its start value. The model keeps
// that "reached" flag per cell and direction, exactly as update_line visits cells, and
// expects the start code and room where it is not set. Where it is set, the code must be
// the table's entry for the window gathered from the cells, judged against the real
// cells for overlines and false open fours (judged_code). Rooms of reached cells are
// refreshed only together with a code change, so only their sums are checked.
class CodeModel {
 public:
  // Call right after reset_board(b, ...).
  explicit CodeModel(const Board& b) : b_(b) {
    const int n = b.size;
    for (int x = 0; x < n; ++x)
      for (int y = 0; y < n; ++y)
        if (!on_board(b, x, y)) changed(x, y);
  }

  // Every place or remove at (x, y).
  void changed(int x, int y) {
    for (int d = 0; d < 4; ++d)
      for (int i = -b_.pattern_radius; i <= b_.pattern_radius; ++i) {
        const int cx = x + i * DIR_DX[d], cy = y + i * DIR_DY[d];
        if (on_board(b_, cx, cy)) reached_[d][cx][cy] = true;
      }
  }

  // Empty when every code, the line words, the sums and the threat sets agree with the
  // cells; else the first difference.
  std::string fault(bool with_double_threats) {
    const Board& b = b_;
    const int n = b.size;
    for (int x = 0; x < n; ++x)
      for (int y = 0; y < n; ++y) {
        if (!on_board(b, x, y)) continue;
        for (int d = 0; d < 4; ++d) {
          const int w = window_from_cells(b, d, x, y);
          // Text only for a fault: the checks run millions of times.
          const auto where = [&] { return at(x, y) + " d" + std::to_string(d); };
          if (window_from_word(b, d, x, y) != w)
            return mismatch("window of " + where(), window_from_word(b, d, x, y), w);
          for (int player = 1; player <= 2; ++player) {
            const ShapeSlot s = b.dir_shapes[x][y][d];
            const int stored = slot_code(s, player - 1);
            if (!reached_[d][x][y]) {
              if (stored != start_code_with_room(d, x, y, n))
                return mismatch("start code of " + where(), stored, start_code_with_room(d, x, y, n));
              if (slot_room(s, player - 1) != start_room(d, x, y, n))
                return mismatch("start room of " + where(), slot_room(s, player - 1), start_room(d, x, y, n));
              continue;
            }
            const int table = pattern_table[w].code[player - 1];
            const int expected = b.cells[x][y] == 0 ? judged_code(b, x, y, d, player, table) : table;
            if (stored != expected)
              return mismatch("player " + std::to_string(player) + " code of " + where() + " (window code " +
                                  std::to_string(table) + ")",
                              stored, expected);
            overlines_seen += table == 12 && expected == 13;
            false_open_fours_seen += table == 11 && expected == 9;
            fives_seen += expected == 12;
          }
        }
      }
    return sums_and_sets_fault(b, with_double_threats);
  }

  // How often the rule's corrections were seen in force at a check.
  long overlines_seen = 0;
  long false_open_fours_seen = 0;
  long fives_seen = 0;

 private:
  const Board& b_;
  bool reached_[4][MAX_SIDE][MAX_SIDE] = {};
};

// Where the bookkeeping of two boards differs (codes, rooms, summaries, totals, threat
// sets, all of it byte for byte), or an empty string.
inline std::string bookkeeping_difference(const Board& a, const Board& b) {
  for (int x = 0; x < MAX_SIDE; ++x)
    for (int y = 0; y < MAX_SIDE; ++y) {
      for (int d = 0; d < 4; ++d)
        if (a.dir_shapes[x][y][d] != b.dir_shapes[x][y][d])
          return "shape of " + at(x, y) + " d" + std::to_string(d);
      if (std::memcmp(&a.cell_summaries[x][y], &b.cell_summaries[x][y], sizeof a.cell_summaries[x][y]) != 0)
        return "summary of " + at(x, y);
    }
  for (int p = 0; p < 2; ++p) {
    if (a.eval_total[p] != b.eval_total[p]) return "evaluation total";
    if (a.room_total[p] != b.room_total[p]) return "room total";
  }
  if (std::memcmp(&a.threat_sets, &b.threat_sets, sizeof a.threat_sets) != 0) return "threat sets";
  return "";
}

inline void place(Board& b, int x, int y, int who, bool light) {
  if (light)
    place_stone_light(b, x, y, who);
  else
    place_stone(b, x, y, who);
}

inline void take(Board& b, int x, int y, int who, bool light) {
  if (light)
    remove_stone_light(b, x, y, who);
  else
    remove_stone(b, x, y, who);
}

// Nested full and light placements, each with the position as it was before it, so that
// every take-back can be checked to restore the position exactly. Light stones stack on
// top of the full ones; callers take them all back before the next full change. A twin
// board, when given, gets the same changes with its undo journal off, working out every
// take-back from the pattern tables: the two must keep the same bookkeeping throughout.
class PlacementStack {
 public:
  PlacementStack(Board& b, CodeModel& model, Board* twin = nullptr) : b_(b), model_(model), twin_(twin) {
    if (twin_ != nullptr) {
      *twin_ = b_;
      twin_->journal.enabled = false;
    }
  }

  void push(int x, int y, int who, bool light) {
    steps_.push_back(Step{x, y, who, light, PositionSnapshot::take(b_)});
    if (light) ++light_count_;
    place(b_, x, y, who, light);
    if (twin_ != nullptr) place(*twin_, x, y, who, light);
    model_.changed(x, y);
  }

  struct Undone {
    int x, y;
    std::string difference;  // what the take-back failed to restore; empty when nothing
  };

  Undone pop() {
    const Step s = steps_.back();
    steps_.pop_back();
    if (s.light) --light_count_;
    take(b_, s.x, s.y, s.who, s.light);
    if (twin_ != nullptr) take(*twin_, s.x, s.y, s.who, s.light);
    model_.changed(s.x, s.y);
    return Undone{s.x, s.y, s.before.difference(b_)};
  }

  // Where the board's bookkeeping differs from its twin's; empty without a twin.
  std::string twin_difference() const {
    if (twin_ == nullptr) return "";
    const std::string d = bookkeeping_difference(b_, *twin_);
    return d.empty() ? d : d + " differs from the board that works out every take-back";
  }

  bool empty() const { return steps_.empty(); }
  size_t size() const { return steps_.size(); }
  int light_count() const { return light_count_; }

 private:
  struct Step {
    int x, y, who;
    bool light;
    PositionSnapshot before;
  };

  Board& b_;
  CodeModel& model_;
  Board* twin_;
  std::vector<Step> steps_;
  int light_count_ = 0;
};

}  // namespace zerin_test
