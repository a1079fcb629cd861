#include "threats/forbidden.h"

#include <gtest/gtest.h>

#include "threats/threat_setup.h"

using namespace zerin;
using namespace threat_test;

namespace {

// Renju on an empty board; pictures put rows at x and characters at y.
class Forbidden : public ::testing::Test {
 protected:
  void SetUp() override { new_board(2); }
  void TearDown() override { new_board(0); }
};

// The cells of the board that is_forbidden reports, row by row.
std::string forbidden_map() {
  std::string map;
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y)
      if (is_forbidden(x, y)) map += "(" + std::to_string(x) + "," + std::to_string(y) + ")";
  return map;
}

}  // namespace

TEST_F(Forbidden, OverlineIsForbiddenUnlessTheStoneAlsoMakesAnExactFive) {
  draw(7, 1, {"XXX.XX"});  // (7,4) makes six in a row
  EXPECT_EQ(is_forbidden(7, 4), 1);
  EXPECT_EQ(forbidden_map(), "(7,4)");

  // An open three in another direction does not rescue the overline.
  place_all({{8, 4}, {9, 4}}, 1);
  EXPECT_EQ(is_forbidden(7, 4), 1);

  // Four in the column above: the same stone makes an exact five downwards, which wins,
  // although the row, scanned first, showed the overline.
  new_board(2);
  draw(7, 1, {"XXX.XX"});
  place_all({{3, 4}, {4, 4}, {5, 4}, {6, 4}}, 1);
  EXPECT_EQ(is_forbidden(7, 4), 0);
  // The five seen first ends the scan just as well.
  new_board(2);
  draw(3, 4, {"X", "X", "X", "X", ".", "X", "X"});  // column: XXXX.XX, overline at (7,4)
  place_all({{7, 0}, {7, 1}, {7, 2}, {7, 3}}, 1);   // and a five along the row
  EXPECT_EQ(is_forbidden(7, 4), 0);
}

TEST_F(Forbidden, DoubleFourOnOneLine) {
  // A stone between two groups of three, one empty cell on each side: both gaps then
  // complete an exact five.
  draw(7, 2, {"XXX...XXX"});
  EXPECT_EQ(is_forbidden(7, 6), 1);
  EXPECT_EQ(forbidden_map(), "(7,6)");

  new_board(2);
  draw(7, 3, {"X.X.X.X"});  // (7,6) makes X.XXX.X
  EXPECT_EQ(forbidden_map(), "(7,6)");

  new_board(2);
  draw(3, 7, {"X", "X", ".", ".", "X", ".", "X", "X"});  // column XX.?X.XX, (6,7) in the middle
  EXPECT_EQ(forbidden_map(), "(6,7)");

  // Both ends of the run look like fours before the stone, but with it in place only
  // one of them completes a five: a single four.
  new_board(2);
  draw(7, 0, {"XXX....XXX"});
  EXPECT_EQ(is_forbidden(7, 4), 0);
  EXPECT_EQ(is_forbidden(7, 5), 0);
}

TEST_F(Forbidden, DoubleFourAcrossTwoDirections) {
  // Closed fours along the row and along the column.
  draw(4, 2, {"....X",
              "....X",
              "....X",
              "OXXX.",
              "....O"});
  EXPECT_EQ(is_forbidden(7, 6), 1);

  // A straight four along the row and a closed four along the anti-diagonal.
  new_board(2);
  place_all({{7, 3}, {7, 4}, {7, 5}}, 1);
  place_all({{8, 5}, {9, 4}, {10, 3}}, 1);
  place_all({{11, 2}}, 2);
  EXPECT_EQ(is_forbidden(7, 6), 1);
}

TEST_F(Forbidden, DoubleThreeIsForbidden) {
  draw(5, 5, {"..X",
              "..X",
              "XX."});  // solid threes along the row and the column at (7,7)
  EXPECT_EQ(is_forbidden(7, 7), 1);

  new_board(2);
  draw(5, 5, {"X",
              ".X",
              "....XX"});  // (7,7): diagonal three and split three .X.XX. along the row
  EXPECT_EQ(is_forbidden(7, 7), 1);
}

TEST_F(Forbidden, FourThreeAndSingleShapesAreAllowed) {
  // Closed four along the row, open three along the column.
  draw(5, 2, {"....X",
              "....X",
              "OXXX."});
  EXPECT_EQ(is_forbidden(7, 6), 0);

  // A straight four alone.
  new_board(2);
  draw(7, 3, {"XXX"});
  EXPECT_EQ(is_forbidden(7, 6), 0);
  EXPECT_EQ(is_forbidden(7, 2), 0);

  // A straight four with a three: the straight four's two ends count as one four.
  place_all({{8, 6}, {9, 6}}, 1);
  EXPECT_EQ(is_forbidden(7, 6), 0);

  // Adding a second three makes it four-three-three, forbidden by the double three.
  place_all({{6, 7}, {5, 8}}, 1);
  EXPECT_EQ(is_forbidden(7, 6), 1);
}

TEST_F(Forbidden, ThreeThatCannotBecomeAStraightFourDoesNotCount) {
  // Along the row (7,5) makes X..XXX..X: each straight-four cell would also join a
  // far stone into six, so it is no three; with the column three it is allowed.
  draw(5, 0, {".....X",
              ".....X",
              "X..XX...X"});
  EXPECT_EQ(is_forbidden(7, 5), 0);
  // Without the far stones the row three is real.
  new_board(2);
  draw(5, 0, {".....X",
              ".....X",
              "...XX"});
  EXPECT_EQ(is_forbidden(7, 5), 1);
}

TEST_F(Forbidden, DoubleThreeWhoseExtensionPointsAreForbiddenIsAllowed) {
  // (7,7) makes a row three (7,5..7) and a column three (7..9,7). The row three's
  // straight-four cells (7,4) and (7,8) each complete an overline along their columns.
  const std::initializer_list<Cell> row_three = {{7, 5}, {7, 6}};
  const std::initializer_list<Cell> column_three = {{8, 7}, {9, 7}};
  const std::initializer_list<Cell> overline_at_7_4 = {{4, 4}, {5, 4}, {6, 4}, {8, 4}, {9, 4}};
  const std::initializer_list<Cell> overline_at_7_8 = {{4, 8}, {5, 8}, {6, 8}, {8, 8}, {9, 8}};
  auto set_up = [&](bool left, bool right) {
    new_board(2);
    place_all(row_three, 1);
    place_all(column_three, 1);
    if (left) place_all(overline_at_7_4, 1);
    if (right) place_all(overline_at_7_8, 1);
  };
  set_up(true, true);
  EXPECT_EQ(is_forbidden(7, 4), 1);
  EXPECT_EQ(is_forbidden(7, 8), 1);
  EXPECT_EQ(is_forbidden(7, 7), 0);
  // One playable straight-four cell is enough for the row three to count.
  set_up(true, false);
  EXPECT_EQ(is_forbidden(7, 7), 1);
  set_up(false, true);
  EXPECT_EQ(is_forbidden(7, 7), 1);
  set_up(false, false);
  EXPECT_EQ(is_forbidden(7, 7), 1);
}

TEST_F(Forbidden, OccupiedCellsNeverAndThePositionIsRestored) {
  // A ring of black stones on a 6 by 6 board: every three point is a double three.
  new_board(2, 6, 6);
  draw(1, 1, {".XX.",
              "X..X",
              "X..X",
              ".XX."});
  const Snapshot before = Snapshot::take();
  EXPECT_EQ(forbidden_map(), "(1,1)(1,4)(2,2)(2,3)(3,2)(3,3)(4,1)(4,4)");
  EXPECT_TRUE(before.unchanged());

  // White stones on the forbidden cells: nothing is reported for them.
  new_board(2);
  draw(1, 8, {"XXX.XX"});
  draw(4, 2, {"....X",
              "....X",
              "....X",
              "OXXX.",
              "....O"});
  EXPECT_EQ(forbidden_map(), "(1,11)(7,6)");
  place_stone(1, 11, 2);
  place_stone(7, 6, 2);
  EXPECT_EQ(forbidden_map(), "");
  for (int y = 0; y < 15; ++y) EXPECT_EQ(is_forbidden(1, y) + is_forbidden(7, y), 0);
}

TEST_F(Forbidden, LargerAndRectangularBoardsAndEdges) {
  // 20 by 20: the double four on one line running up to the last column.
  new_board(2, 20, 20);
  draw(19, 11, {"XXX...XXX"});
  EXPECT_EQ(forbidden_map(), "(19,15)");

  // A four against the edge has one completing cell: with a three it is a four-three.
  new_board(2, 20, 20);
  draw(0, 3, {"XX",
              "..X",
              "..X",
              "..X"});
  EXPECT_EQ(is_forbidden(0, 5), 0);
  // With a straight four along the first row instead of the three, two fours.
  place_stone(0, 2, 1);
  EXPECT_EQ(is_forbidden(0, 5), 1);

  // Width 12, height 8: x runs to 7, y to 11. Double three by the bottom-right corner.
  new_board(2, 12, 8);
  draw(4, 8, {"..X",
              "..X",
              "XX."});
  EXPECT_EQ(is_forbidden(6, 10), 1);
  // The same along the bottom row: the column three cannot grow past x = 7, so only the
  // row three is real.
  new_board(2, 12, 8);
  draw(5, 7, {"...X",
              "...X",
              ".XX."});
  EXPECT_EQ(is_forbidden(7, 10), 0);
  EXPECT_EQ(forbidden_map(), "");
}
