#include "threats/evaluation.h"

#include <gtest/gtest.h>

#include "threats/collectors.h"
#include "threats/forbidden.h"
#include "threats/threat_setup.h"

using namespace zerin;
using namespace threat_test;

namespace {

constexpr int WON = 9999994;

class Evaluation : public ::testing::Test {
 protected:
  void TearDown() override { new_board(0); }
  // Material balance of the bookkeeping from side's point of view.
  static int balance(int side) { return eval_total[side - 1] - eval_total[(side ^ 3) - 1]; }
  static int room(int x, int y, int player) { return cell_summaries[x][y].room_sum[player - 1]; }
  static int count(int (*collect)(Candidate*, int), int player) {
    Candidate list[MAX_CELLS];
    return collect(list, player);
  }
};

}  // namespace

TEST_F(Evaluation, WithoutThreatPointsOnlyTheBalanceCounts) {
  for (int rule = 0; rule <= 2; ++rule) {
    new_board(rule);
    EXPECT_EQ(evaluate_position(0, 1), 60);
    EXPECT_EQ(evaluate_position(0, 2), 60);
    place_all({{3, 3}, {11, 10}}, 1);  // lone stones make no threat points
    place_all({{7, 7}, {2, 12}}, 2);
    ASSERT_NE(balance(1), 0);
    EXPECT_EQ(evaluate_position(0, 1), balance(1) + 60) << rule;
    EXPECT_EQ(evaluate_position(0, 2), balance(2) + 60) << rule;
  }
}

TEST_F(Evaluation, FreeStyleFourThreeAgainstAQuietOpponentIsWon) {
  // (7,7) is both a four point (row, blocked by white) and a three point (column).
  auto set_up = [](int rule, int attacker) {
    new_board(rule);
    place_all({{7, 4}, {7, 5}, {7, 6}, {8, 7}, {9, 7}}, attacker);
    place_all({{7, 3}}, attacker ^ 3);
  };
  for (int attacker = 1; attacker <= 2; ++attacker) {
    set_up(0, attacker);
    EXPECT_EQ(evaluate_position(0, attacker), WON);
    EXPECT_NE(evaluate_position(0, attacker ^ 3), WON);
    // Three points of the opponent do not disturb it.
    place_all({{1, 1}, {1, 2}}, attacker ^ 3);
    ASSERT_GT(count(collect_three_points, attacker ^ 3), 0);
    EXPECT_EQ(evaluate_position(0, attacker), WON);
    // A four point of the opponent does.
    place_all({{1, 3}}, attacker ^ 3);
    place_all({{1, 0}}, attacker);
    ASSERT_EQ(count(collect_open_four_points, attacker ^ 3), 0);
    ASSERT_GT(count(collect_four_points, attacker ^ 3), 0);
    const int value = evaluate_position(0, attacker);
    EXPECT_NE(value, WON);
    EXPECT_LT(value, 5000);
  }
  // Under the standard and Renju rules the four-three is evaluated like any position.
  for (int rule = 1; rule <= 2; ++rule) {
    set_up(rule, 1);
    const int value = evaluate_position(0, 1);
    EXPECT_NE(value, WON);
    EXPECT_LT(value, 5000);
  }
}

TEST_F(Evaluation, IsolatedThreatPointsCostTheirOwnerInProportionToRoom) {
  // Black's closed three: four points (7,8) and (7,9), no five or open-four point near
  // them, so each counts w = -1.
  new_board(0);
  draw(7, 4, {"OXXX"});
  ASSERT_EQ(count(collect_four_points, 1), 2);
  ASSERT_EQ(count(collect_three_points, 1) + count(collect_four_points, 2) + count(collect_three_points, 2), 0);
  const int fours = room(7, 8, 1) * 20 / 32 + room(7, 9, 1) * 20 / 32;
  EXPECT_EQ(evaluate_position(0, 1), balance(1) - fours + 60);
  // For the opponent the same cells count the other way, and it gains 100 for facing them.
  EXPECT_EQ(evaluate_position(0, 2), balance(2) + 100 + fours + 60);

  // An open two: four three points with w = -2.
  new_board(0);
  draw(7, 6, {"XX"});
  ASSERT_EQ(count(collect_three_points, 1), 4);
  ASSERT_EQ(count(collect_four_points, 1), 0);
  int threes = 0;
  for (int y : {4, 5, 8, 9}) threes += room(7, y, 1) * 40 / 32;
  EXPECT_EQ(evaluate_position(0, 1), balance(1) - threes + 60);
  EXPECT_EQ(evaluate_position(0, 2), balance(2) + 100 + threes + 60);

  // An open three: each four point has one open-four point in its star (w = 0) and the
  // two open-four points lie along one direction, so only the balance counts for black.
  // For white, black's first open-four point (7,4) adds its room * 50 / 32.
  new_board(0);
  draw(7, 5, {"XXX"});
  ASSERT_EQ(count(collect_four_points, 1), 2);
  ASSERT_EQ(count(collect_open_four_points, 1), 2);
  EXPECT_EQ(evaluate_position(0, 1), balance(1) + 60);
  EXPECT_EQ(evaluate_position(0, 2), balance(2) + 100 + room(7, 4, 1) * 50 / 32 + 60);
}

TEST_F(Evaluation, WinningCellsAlongTwoDirectionsMove200) {
  // Two open threes far apart on a 20 by 20 board, both along rows, against the same
  // position with the second one transposed into a column: only the count of
  // directions differs.
  auto value = [](bool transposed, int side) {
    new_board(0, 20, 20);
    place_all({{3, 2}, {3, 3}, {3, 4}}, 1);
    if (transposed)
      place_all({{13, 15}, {14, 15}, {15, 15}}, 1);
    else
      place_all({{15, 13}, {15, 14}, {15, 15}}, 1);
    return evaluate_position(0, side);
  };
  EXPECT_EQ(value(true, 1) - value(false, 1), 200);
  EXPECT_EQ(value(true, 2) - value(false, 2), -200);
}

TEST_F(Evaluation, RenjuTakesBackThe100WhenEveryBlackThreatPointIsForbidden) {
  // A ring of black stones on a 6 by 6 board: black's only threat points are eight
  // three points, every one a double three.
  auto set_up = [](int rule) {
    new_board(rule, 6, 6);
    draw(1, 1, {".XX.",
                "X..X",
                "X..X",
                ".XX."});
  };
  set_up(2);
  ASSERT_EQ(count(collect_three_points, 1), 8);
  ASSERT_EQ(count(collect_four_points, 1), 0);
  for (int x = 0; x < 6; ++x)
    for (int y = 0; y < 6; ++y)
      if (threat_sets.row_mask[THREE_POINTS][0][x] >> y & 1) {
        ASSERT_EQ(is_forbidden(x, y), 1);
      }
  // White to move: +100 for black's threat points, taken back, and every cell skipped.
  EXPECT_EQ(evaluate_position(0, 2), balance(2) + 60);
  // Black to move: its own forbidden cells are skipped too.
  EXPECT_EQ(evaluate_position(0, 1), balance(1) + 60);

  // Without forbidden points the same cells count.
  set_up(1);
  EXPECT_GT(evaluate_position(0, 2), balance(2) + 160);

  // Under Renju with playable black three points the 100 stays.
  new_board(2);
  draw(7, 6, {"XX"});
  int threes = 0;
  for (int y : {4, 5, 8, 9}) threes += room(7, y, 1) * 40 / 32;
  EXPECT_EQ(evaluate_position(0, 2), balance(2) + 100 + threes + 60);
  EXPECT_EQ(evaluate_position(0, 1), balance(1) - threes + 60);
}

TEST_F(Evaluation, LeavesThePositionAsItFoundIt) {
  new_board(2);
  draw(4, 2, {"....X",
              "....X",
              "....X",
              "OXXX.",
              "....O"});
  draw(1, 8, {"XXX.XX"});
  const Snapshot before = Snapshot::take();
  evaluate_position(0, 1);
  evaluate_position(0, 2);
  EXPECT_TRUE(before.unchanged());
}
