#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "board/bookkeeping_model.h"
#include "support/engine_setup.h"

using namespace zerin;
using namespace zerin_test;

namespace {

// A free-style game of 30 moves on 15 x 15.
constexpr const char* MIDGAME_15 =
    "7,7;8,6;9,7;8,7;8,8;9,9;10,6;11,5;9,4;9,5;10,5;10,4;11,6;12,7;12,6;13,6;7,8;7,9;8,9;9,8;"
    "9,10;6,7;10,11;11,12;10,9;8,11;5,4;8,3;6,5;6,6";

class BoardTest : public EngineTest {};

// Number of cells of line `word` in family d, counted on the n by n square.
int cells_on_line(const Board& b, int d, int word) {
  const int n = b.size;
  int count = 0;
  for (int x = 0; x < n; ++x)
    for (int y = 0; y < n; ++y)
      if (line_word(b, d, x, y) == word) ++count;
  return count;
}

uint64_t border_at(int p) { return uint64_t{3} << (2 * p + 8); }

}  // namespace

TEST_F(BoardTest, ResetWritesBorderCodesAroundEveryLine) {
  new_board(0, 15, 15);
  EXPECT_EQ(position.lines[0][0], border_at(-1) | border_at(15));
  EXPECT_EQ(position.lines[2][0], border_at(-1) | border_at(1));  // the corner cell (0, 0) alone
  EXPECT_EQ(position.lines[3][0], 0u);                             // never addressed

  const int n = 15;
  const int words[4] = {n, n, 2 * n - 1, 2 * n};
  for (int d = 0; d < 4; ++d)
    for (int w = 0; w < LINE_WORDS; ++w) {
      const int length = w < words[d] ? cells_on_line(position, d, w) : 0;
      const uint64_t expected = length > 0 ? border_at(-1) | border_at(length) : 0;
      EXPECT_EQ(position.lines[d][w], expected) << "family " << d << " word " << w;
    }
  EXPECT_EQ(position.hash_key, 0u);
  EXPECT_EQ(position.move_count, 0);
}

TEST_F(BoardTest, RectangularBoardBlocksThePadding) {
  new_board(0, 20, 15);
  EXPECT_EQ(position.size, 20);
  EXPECT_EQ(position.move_count, 0);
  uint64_t key = 0;
  for (int x = 0; x < MAX_SIDE; ++x)
    for (int y = 0; y < MAX_SIDE; ++y) {
      const bool padding = x >= 15 && x < 20 && y < 20;
      EXPECT_EQ(position.cells[x][y], padding ? 3 : 0) << x << "," << y;
      if (padding) key ^= zobrist_keys[x * MAX_SIDE + y][2];
    }
  EXPECT_EQ(position.hash_key, key);

  // The other orientation blocks the columns y >= 15 instead.
  new_board(0, 15, 20);
  EXPECT_EQ(position.cells[19][14], 0);
  EXPECT_EQ(position.cells[19][15], 3);
  EXPECT_EQ(position.cells[0][19], 3);
  EXPECT_EQ(position.move_count, 0);
}

// Every 9-cell window read from a line word must show the cells around it, with the
// border just beyond the square; this pins line_word, anti_pos and diag_pos together.
TEST_F(BoardTest, LineWindowsShowTheCells) {
  const struct { int width, height; } sizes[] = {{15, 15}, {20, 15}, {15, 20}, {6, 6}, {24, 24}};
  for (const auto& size : sizes) {
    new_board(1, size.width, size.height);
    const int n = position.size;
    // A scatter of stones of both players and one controller-blocked cell.
    int colour = 1;
    for (int i = 0; i < n * n; i += 7) {
      const int x = i % n, y = (i / n * 5 + i) % n;
      if (on_board(position, x, y) && position.cells[x][y] == 0) {
        place_stone(position, x, y, colour);
        colour ^= 3;
      }
    }
    if (position.cells[1][2] == 0) place_stone(position, 1, 2, 3);
    for (int x = 0; x < n; ++x)
      for (int y = 0; y < n; ++y)
        for (int d = 0; d < 4; ++d)
          ASSERT_EQ(window_from_word(position, d, x, y), window_from_cells(position, d, x, y))
              << size.width << "x" << size.height << " cell " << x << "," << y << " direction " << d;
  }
}

TEST_F(BoardTest, PlaceThenRemoveRestoresThePosition) {
  const struct { int width, height; } sizes[] = {{15, 15}, {20, 15}};
  for (const auto& size : sizes) {
    new_board(2, size.width, size.height);
    place_game(MIDGAME_15);
    for (int light = 0; light <= 1; ++light)
      for (int who = 1; who <= 2; ++who)
        for (int x = 0; x < position.height; ++x)
          for (int y = 0; y < position.width; ++y) {
            if (position.cells[x][y] != 0) continue;
            const PositionSnapshot before = PositionSnapshot::take(position);
            if (light) place_stone_light(position, x, y, who); else place_stone(position, x, y, who);
            ASSERT_EQ(position.cells[x][y], who);
            ASSERT_EQ(position.move_count, before.move_count + 1);
            ASSERT_EQ(position.move_list[before.move_count].x, x);
            ASSERT_EQ(position.move_list[before.move_count].y, y);
            ASSERT_EQ(position.hash_key, before.hash_key ^ zobrist_keys[x * MAX_SIDE + y][who - 1]);
            if (light) remove_stone_light(position, x, y, who); else remove_stone(position, x, y, who);
            ASSERT_EQ(before.difference(position), "")
                << "after " << x << "," << y << " who " << who << " light " << light;
          }
  }
}

TEST_F(BoardTest, BlockedCellChangesKeyButNotMoveList) {
  new_board(0, 15, 15);
  place_game("7,7;8,8;7,8");
  const PositionSnapshot before = PositionSnapshot::take(position);
  place_stone(position, 3, 4, 3);
  EXPECT_EQ(position.cells[3][4], 3);
  EXPECT_EQ(position.hash_key, before.hash_key ^ zobrist_keys[3 * MAX_SIDE + 4][2]);
  EXPECT_NE(position.hash_key, before.hash_key);
  EXPECT_EQ(position.move_count, 3);
  EXPECT_EQ(window_from_word(position, 0, 3, 4) >> 8 & 3, 3);
  remove_stone(position, 3, 4, 3);
  EXPECT_EQ(before.difference(position), "");
}

TEST_F(BoardTest, EachBuildDrawsNewDistinctKeys) {
  new_board(0, 15, 15);
  std::vector<uint64_t> first(&zobrist_keys[0][0], &zobrist_keys[0][0] + MAX_CELLS * 3);
  std::set<uint64_t> distinct(first.begin(), first.end());
  EXPECT_EQ(distinct.size(), first.size());
  EXPECT_EQ(distinct.count(0), 0u);

  build_game_tables(position.size, position.rule);
  for (int i = 0; i < MAX_CELLS * 3; ++i) EXPECT_NE((&zobrist_keys[0][0])[i], first[i]) << i;
}

// The generator starts at state 1 in every thread, so the first keys drawn in a new
// thread are the same whatever ran before: r1<<60 ^ r2<<45 ^ r3<<30 ^ r4<<15 ^ r5.
TEST_F(BoardTest, FirstKeysOfANewThreadComeFromStateOne) {
  std::thread([] { generate_zobrist_keys(); }).join();
  uint32_t state = 1;
  auto next = [&state] {
    state = state * 214013u + 2531011u;
    return uint64_t{(state >> 16) & 0x7FFF};
  };
  uint64_t expected[MAX_CELLS][3];
  for (int cell = 0; cell < MAX_CELLS; ++cell)
    for (int code = 0; code < 3; ++code) {
      const uint64_t r1 = next(), r2 = next(), r3 = next(), r4 = next(), r5 = next();
      expected[cell][code] = r1 << 60 ^ r2 << 45 ^ r3 << 30 ^ r4 << 15 ^ r5;
    }
  // The well-known start of this generator's sequence.
  EXPECT_EQ(expected[0][0], uint64_t{41} << 60 ^ uint64_t{18467} << 45 ^ uint64_t{6334} << 30 ^
                                uint64_t{26500} << 15 ^ uint64_t{19169});
  EXPECT_EQ(std::memcmp(expected, zobrist_keys, sizeof expected), 0);
}

TEST_F(BoardTest, BitTables) {
  new_board(0, 15, 15);
  EXPECT_EQ(bit_index(1 << 20), 20);
  EXPECT_EQ(bit_index(1 << 15), 15);
  for (int i = 0; i <= 30; ++i) EXPECT_EQ(bit_index(1 << i), i);
  for (int m = 0; m <= 32768; ++m) {
    const bool single = m != 0 && (m & (m - 1)) == 0;
    ASSERT_EQ(bit_index_table[m], single ? __builtin_ctz(m) : 0) << m;
    if (single) {
      ASSERT_EQ(bit_index(m), bit_index_table[m]) << m;
    }
    ASSERT_EQ(popcount_table[m], __builtin_popcount(m)) << m;
  }
}
