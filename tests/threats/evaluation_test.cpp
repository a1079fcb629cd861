#include "threats/evaluation.h"

#include <gtest/gtest.h>

#include "threats/collectors.h"
#include "threats/forbidden.h"
#include "support/engine_setup.h"

using namespace zerin;
using namespace zerin_test;

namespace {

constexpr int WON = 9999994;

class Evaluation : public EngineTest {
 protected:
  // The bookkeeping's totals from side's point of view.
  static int balance(int side) { return position.eval_total[side - 1] - position.eval_total[(side ^ 3) - 1]; }
  static int room(int x, int y) { return position.cell_summaries[x][y][0].room_sum; }
  static int count(int (*collect)(const Board&, Candidate*, int), int player) {
    Candidate list[MAX_CELLS];
    return collect(position, list, player);
  }
};

}  // namespace

TEST_F(Evaluation, WithoutThreatPointsOnlyTheBalanceCounts) {
  for (int rule = 0; rule <= 2; ++rule) {
    new_board(rule);
    EXPECT_EQ(evaluate_position(worker, 0, 1), 60);
    draw(3, 3, "X.......O//////////.......X");  // lone stones make no threat points
    draw(7, 7, "O");
    ASSERT_NE(balance(1), 0);
    EXPECT_EQ(evaluate_position(worker, 0, 1), balance(1) + 60) << rule;
    EXPECT_EQ(evaluate_position(worker, 0, 2), balance(2) + 60) << rule;
  }
}

TEST_F(Evaluation, FreeStyleFourThreeAgainstAQuietOpponentIsWon) {
  // (7,7) is a four point along the row (blocked by 'O') and a three point along the column.
  const char* four_three = "OXXX./....X/....X";
  for (int side = 1; side <= 2; ++side) {
    new_board(0);
    draw(7, 3, four_three, side);
    EXPECT_EQ(evaluate_position(worker, 0, side), WON);
    EXPECT_NE(evaluate_position(worker, 0, side ^ 3), WON);
    draw(1, 1, "OO", side);  // three points of the opponent do not disturb it
    EXPECT_EQ(evaluate_position(worker, 0, side), WON);
    draw(1, 0, "X..O", side);  // a four point of the opponent does
    ASSERT_GT(count(collect_four_points, side ^ 3), 0);
    ASSERT_EQ(count(collect_open_four_points, side ^ 3), 0);
    EXPECT_LT(evaluate_position(worker, 0, side), 5000);
  }
  // The standard and Renju rules evaluate the same position like any other.
  for (int rule = 1; rule <= 2; ++rule) {
    new_board(rule);
    draw(7, 3, four_three);
    EXPECT_LT(evaluate_position(worker, 0, 1), 5000);
  }
}

TEST_F(Evaluation, IsolatedThreatPointsCostTheirOwnerInProportionToRoom) {
  // A closed three: four points (7,8) and (7,9) with no five or open-four point in
  // their stars count w = -1 each; for the opponent they count +1, and it gains 100
  // for facing threat points at all.
  new_board(0);
  draw(7, 4, "OXXX");
  ASSERT_EQ(count(collect_four_points, 1), 2);
  ASSERT_EQ(count(collect_three_points, 1) + count(collect_four_points, 2) + count(collect_three_points, 2), 0);
  const int fours = room(7, 8) * 20 / 32 + room(7, 9) * 20 / 32;
  EXPECT_EQ(evaluate_position(worker, 0, 1), balance(1) - fours + 60);
  EXPECT_EQ(evaluate_position(worker, 0, 2), balance(2) + 100 + fours + 60);

  // An open two: four three points with w = -2.
  for (int rule : {0, 2}) {
    new_board(rule);
    draw(7, 6, "XX");
    ASSERT_EQ(count(collect_three_points, 1), 4);
    int threes = 0;
    for (int y : {4, 5, 8, 9}) threes += room(7, y) * 40 / 32;
    EXPECT_EQ(evaluate_position(worker, 0, 1), balance(1) - threes + 60) << rule;
    EXPECT_EQ(evaluate_position(worker, 0, 2), balance(2) + 100 + threes + 60) << rule;
  }

  // An open three: each four point has an open-four point in its star (w = 0) and both
  // open-four points lie along one direction, so black has only its balance; facing it,
  // white counts black's first open-four point (7,4) with room * 50 / 32.
  new_board(0);
  draw(7, 5, "XXX");
  ASSERT_EQ(count(collect_open_four_points, 1), 2);
  EXPECT_EQ(evaluate_position(worker, 0, 1), balance(1) + 60);
  EXPECT_EQ(evaluate_position(worker, 0, 2), balance(2) + 100 + room(7, 4) * 50 / 32 + 60);
}

TEST_F(Evaluation, WinningCellsAlongTwoDirectionsMove200) {
  // Two open threes far apart on a 20 by 20 board, both along rows, against the same
  // position with the second transposed into a column: only the count of directions of
  // the open-four points differs.
  auto value = [](bool transposed, int side) {
    new_board(0, 20, 20);
    draw(3, 2, "XXX");
    draw(transposed ? 13 : 15, transposed ? 15 : 13, transposed ? "X/X/X" : "XXX");
    return evaluate_position(worker, 0, side);
  };
  EXPECT_EQ(value(true, 1) - value(false, 1), 200);
  EXPECT_EQ(value(true, 2) - value(false, 2), -200);
}

TEST_F(Evaluation, RenjuTakesBackThe100WhenEveryBlackThreatPointIsForbidden) {
  // A ring of black stones on a 6 by 6 board: black's only threat points are eight
  // three points, every one a double three.
  for (int rule = 1; rule <= 2; ++rule) {
    new_board(rule, 6, 6);
    draw(1, 1, ".XX./X..X/X..X/.XX.");
    ASSERT_EQ(count(collect_three_points, 1), 8);
    ASSERT_EQ(count(collect_four_points, 1), 0);
    if (rule == 1) {
      EXPECT_GT(evaluate_position(worker, 0, 2), balance(2) + 160);  // the cells count for white
      continue;
    }
    for (int x = 0; x < 6; ++x)
      for (int y = 0; y < 6; ++y)
        EXPECT_EQ(is_forbidden(position, x, y), position.threat_sets.row_mask[THREE_POINTS][0][x] >> y & 1);
    // For white: +100 for black's threat points, taken back, and every cell skipped;
    // for black its own forbidden cells are skipped.
    EXPECT_EQ(evaluate_position(worker, 0, 2), balance(2) + 60);
    EXPECT_EQ(evaluate_position(worker, 0, 1), balance(1) + 60);
  }
}

TEST_F(Evaluation, LeavesThePositionAsItFoundIt) {
  new_board(2);
  draw(4, 2, "....X/....X/....X/OXXX./....O");
  draw(1, 8, "XXX.XX");
  const Snapshot before;
  evaluate_position(worker, 0, 1);
  evaluate_position(worker, 0, 2);
  EXPECT_TRUE(before.unchanged());
}
