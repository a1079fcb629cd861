// The Swap2 driver's parts: the balance search restricted to a window and kept quiet,
// the opening variety, the room count, and a decision's effect on the game record.
#include "control/swap2.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "control/balance.h"
#include "control/game.h"
#include "support/engine_setup.h"

using namespace zerin;
using namespace zerin_test;

namespace {

class Swap2 : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    new_board(RULE_STANDARD);
    game.built = 1;  // the position new_board set up is the game's
    settings.hash_size = TEST_HASH_BUCKETS;
    settings.max_node = 8;  // a few thousand nodes per search: quick, and the same every run
  }
};

TEST_F(Swap2, QuietBalanceSearchKeepsToItsWindow) {
  put({{7, 7, BLACK}});
  CellMask window = {};
  for (int x = 6; x <= 8; ++x)
    for (int y = 5; y <= 9; ++y) window[x][y] = 1;
  BalanceOptions options;
  options.report = false;
  options.allowed = &window;
  worker.turn_limit = 60000;
  ::testing::internal::CaptureStdout();
  const BalanceOutcome outcome = run_balance(worker, true, 0, options);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  ASSERT_GT(outcome.count, 1);
  EXPECT_LE(outcome.count, BALANCE_KEPT);
  std::set<std::pair<int, int>> pairs;
  for (int i = 0; i < outcome.count; ++i) {
    const BalanceChoice& c = outcome.best[i];
    EXPECT_TRUE(window[c.first.x][c.first.y] && window[c.second.x][c.second.y]) << i;
    EXPECT_FALSE(c.first.x == c.second.x && c.first.y == c.second.y) << i;
    EXPECT_FALSE((c.first.x == 7 && c.first.y == 7) || (c.second.x == 7 && c.second.y == 7)) << i;
    EXPECT_TRUE(pairs.insert({c.first.x * MAX_SIDE + c.first.y, c.second.x * MAX_SIDE + c.second.y}).second) << i;
  }
  // The position is left as it was.
  EXPECT_EQ(position.move_count, 1);

  // With its report on, the same search writes the protocol command's final line, which
  // names the first entry the outcome gives back.
  options.report = true;
  ::testing::internal::CaptureStdout();
  const BalanceOutcome reported = run_balance(worker, true, 0, options);
  const std::string text = ::testing::internal::GetCapturedStdout();
  const BalanceChoice& best = reported.best[0];
  char cells[32];
  std::snprintf(cells, sizeof cells, "[%d,%c][%d,%c]\n", 15 - best.first.x, 'A' + best.first.y, 15 - best.second.x,
                'A' + best.second.y);
  EXPECT_NE(text.find("MESSAGE DETAIL (BALANCE) DEPTH:"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - std::string(cells).size()), cells) << text;
}

TEST_F(Swap2, OpeningDrawsRepeatCoverTheirRangeAndDependOnTheSeed) {
  std::set<uint32_t> seen;
  bool seeds_differ = false;
  for (uint32_t opening = 0; opening < 100; ++opening) {
    const uint32_t draw = opening_draw(0, opening, 0, 9);
    EXPECT_LT(draw, 9u);
    EXPECT_EQ(draw, opening_draw(0, opening, 0, 9));
    seen.insert(draw);
    seeds_differ = seeds_differ || draw != opening_draw(77, opening, 0, 9);
  }
  EXPECT_EQ(seen.size(), 9u);
  EXPECT_TRUE(seeds_differ);
  // Every seed is a stream of its own, the negative ones too.
  EXPECT_EQ(opening_draw(-1, 0, 0, 1), 0u);
  bool negative_differs = false;
  for (uint32_t opening = 0; opening < 10; ++opening)
    negative_differs = negative_differs || opening_draw(-1, opening, 1, 1000) != opening_draw(1, opening, 1, 1000);
  EXPECT_TRUE(negative_differs);
}

TEST_F(Swap2, RoomIsTheFreeUnblockedCellsBesideTheStones) {
  game.width = 3;
  game.height = 2;
  Swap2Stones stones;
  EXPECT_EQ(swap2_room(stones), 6);
  stones.count = 3;
  stones.cells[0] = {0, 0};
  stones.cells[1] = {1, 2};
  stones.cells[2] = {0, 1};
  EXPECT_EQ(swap2_room(stones), 3);
  block_grid.cells[1][0] = 1;
  block_grid.cells[0][0] = 1;  // blocked and taken: one cell less, once
  EXPECT_EQ(swap2_room(stones), 2);
  block_grid.cells[23][23] = 1;  // off this board
  EXPECT_EQ(swap2_room(stones), 2);
}

TEST_F(Swap2, DecidedValuesNeverMakeAPair) {
  const int32_t wide = 2 * WIN_VALUE;
  EXPECT_EQ(answer_at_three(-WIN_VALUE, wide, true), SWAP2_TAKE_BLACK);
  EXPECT_EQ(answer_at_three(WIN_VALUE, wide, true), SWAP2_STAY_WHITE);
  EXPECT_EQ(answer_at_three(0, 0, true), SWAP2_ADD_PAIR);
  EXPECT_EQ(answer_at_three(-1, 0, true), SWAP2_TAKE_BLACK);
  EXPECT_EQ(answer_at_three(0, 0, false), SWAP2_STAY_WHITE);
}

// Black's open three against white's stones in the corners, white to move: SWAP; the
// game record is empty afterwards and the position no longer built, whatever it held.
TEST_F(Swap2, DecisionAnswersOnceAndLeavesAFreshRecord) {
  put({{3, 3, BLACK}, {4, 4, WHITE}});
  swap2_stones.count = SWAP2_FIVE;
  const MovePoint five[SWAP2_FIVE] = {{7, 6}, {0, 0}, {7, 7}, {0, 14}, {7, 8}};
  for (int i = 0; i < SWAP2_FIVE; ++i) swap2_stones.cells[i] = five[i];
  ::testing::internal::CaptureStdout();
  decide_swap2(worker);
  const std::string text = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(text.substr(text.size() - 5), "SWAP\n") << text;
  EXPECT_NE(text.find("MESSAGE SWAP2 WHITE VAL:-"), std::string::npos) << text;
  EXPECT_EQ(game.count, 0);
  EXPECT_FALSE(position_built());

  // A proposal counts as one opening of the process.
  const uint32_t before = swap2_memory.openings;
  swap2_stones.count = SWAP2_PROPOSE;
  ::testing::internal::CaptureStdout();
  decide_swap2(worker);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(swap2_memory.openings, before + 1);
  EXPECT_EQ(game.count, 0);
  swap2_memory = Swap2Memory{};
}

}  // namespace
