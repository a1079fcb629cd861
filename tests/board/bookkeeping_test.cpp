#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "board/bookkeeping_model.h"
#include "support/engine_setup.h"

using namespace zerin;
using namespace zerin_test;

namespace {

class BookkeepingTest : public EngineTest {
 protected:
  static int code(int x, int y, int d, int player) { return slot_code(position.dir_shapes[x][y][d], player - 1); }
  static int value_sum(int x, int y, int player) { return position.cell_summaries[x][y][player - 1].value_sum; }
  static bool in_kind(int kind, int player, int x, int y) {
    const bool in = position.threat_sets.row_mask[kind][player - 1][x] >> y & 1;
    if (in) {
      EXPECT_TRUE(position.threat_sets.set_rows[kind][player - 1] >> x & 1) << "row summary of kind " << kind;
    }
    return in;
  }
};

// Summaries, totals and threat sets against the stored codes and rooms of all cells.
void expect_sums_and_sets(bool with_double_threats) {
  ASSERT_EQ(sums_and_sets_fault(position, with_double_threats), "");
}

// reset_board's codes and rooms on the n by n square, worked out from each cell's place
// on it, and the summaries that follow from them.
void expect_start_state(int n) {
  for (int x = 0; x < n; ++x)
    for (int y = 0; y < n; ++y)
      for (int d = 0; d < 4; ++d)
        for (int p = 0; p < 2; ++p) {
          const ShapeSlot s = position.dir_shapes[x][y][d];
          ASSERT_EQ(slot_code(s, p), start_code_with_room(d, x, y, n)) << n << ": " << x << "," << y << " d" << d;
          ASSERT_EQ(slot_room(s, p), start_room(d, x, y, n)) << n << ": " << x << "," << y << " d" << d;
        }
  expect_sums_and_sets(true);
  EXPECT_EQ(position.room_total[0] | position.room_total[1], 0);
  ThreatSets empty{};
  EXPECT_EQ(std::memcmp(&position.threat_sets, &empty, sizeof empty), 0);
}

}  // namespace

TEST_F(BookkeepingTest, EmptyBoardStartState) {
  for (int n : {24, 15, 6}) {
    new_board(0, n, n);
    expect_start_state(n);
  }
  // On 6 x 6 the straight rooms follow the written rule even where it is lopsided.
  EXPECT_EQ(slot_room(position.dir_shapes[0][2][0], 0), 6);
  EXPECT_EQ(slot_room(position.dir_shapes[0][3][0], 0), 7);
  EXPECT_EQ(slot_room(position.dir_shapes[0][4][0], 0), 5);
  // The diagonals count only the cells on the square: (1, 1) sees (0, 0) and
  // (2, 2)..(5, 5); (1, 4) sees only (0, 3) and (2, 5), too little room for a code.
  EXPECT_EQ(slot_room(position.dir_shapes[1][1][3], 0), 5);
  EXPECT_EQ(slot_code(position.dir_shapes[1][1][3], 0), 1);
  EXPECT_EQ(slot_room(position.dir_shapes[1][4][3], 0), 2);
  EXPECT_EQ(slot_code(position.dir_shapes[1][4][3], 0), 0);
}

TEST_F(BookkeepingTest, EmptyBoardTotalsEqualForBothPlayers) {
  for (int rule = 0; rule <= 2; ++rule) {
    new_board(rule, 15, 15);
    EXPECT_EQ(position.eval_total[0], position.eval_total[1]) << rule;
  }
}

// On 20 wide by 15 high the blocked padding re-examines the cells near it: their codes
// come from the table (no stones: 0) with the room of the first window that changed
// them; cells farther away keep the start values.
TEST_F(BookkeepingTest, RectangularStartState) {
  new_board(0, 20, 15);
  for (int d = 0; d < 4; ++d) {
    EXPECT_EQ(code(7, 10, d, 1), 1) << d;
    EXPECT_EQ(slot_room(position.dir_shapes[7][10][d], 1), 8) << d;
  }
  // (13, 5): its row is whole; along x and both diagonals a blocked cell stands two
  // steps on, and was blocked first, leaving 4 + 1 cells of room.
  const int codes[4] = {1, 0, 0, 0}, rooms[4] = {8, 5, 5, 5};
  for (int d = 0; d < 4; ++d)
    for (int p = 1; p <= 2; ++p) {
      EXPECT_EQ(code(13, 5, d, p), codes[d]) << d;
      EXPECT_EQ(slot_room(position.dir_shapes[13][5][d], p - 1), rooms[d]) << d;
    }
  // (10, 5) is five steps from the padding: out of reach under rule 0.
  EXPECT_EQ(code(10, 5, 1, 1), 1);
  EXPECT_EQ(slot_room(position.dir_shapes[10][5][1], 0), 8);
  expect_sums_and_sets(true);
  EXPECT_EQ(position.eval_total[0], position.eval_total[1]);

  // The re-examination stops at the edge of the rectangle, so a padding cell keeps its
  // start code along the line that leaves the board, and only the line that runs
  // through the padding itself sees it blocked.
  EXPECT_EQ(code(17, 5, 1, 1), 1);
  EXPECT_EQ(slot_room(position.dir_shapes[17][5][1], 0), 6);  // 20 - 17 + 3
  EXPECT_EQ(code(17, 5, 0, 1), 0);
  new_board(0, 15, 20);
  EXPECT_EQ(code(5, 17, 0, 2), 1);
  EXPECT_EQ(slot_room(position.dir_shapes[5][17][0], 1), 6);
  EXPECT_EQ(code(5, 17, 1, 2), 0);
}

TEST_F(BookkeepingTest, FirstStoneAtTheCentre) {
  new_board(0, 15, 15);
  place_stone(position, 7, 7, 1);
  const int owner[5] = {0, 5, 4, 3, 1};
  for (int d = 0; d < 4; ++d) {
    EXPECT_EQ(code(7, 7, d, 1), 0);
    EXPECT_EQ(code(7, 7, d, 2), 0);
    for (int side = -1; side <= 1; side += 2)
      for (int k = 1; k <= 4; ++k) {
        const int x = 7 + side * k * DIR_DX[d], y = 7 + side * k * DIR_DY[d];
        EXPECT_EQ(code(x, y, d, 1), owner[k]) << "d" << d << " " << x << "," << y;
        EXPECT_EQ(code(x, y, d, 2), 0) << "d" << d << " " << x << "," << y;
      }
    // Five steps away is beyond the radius: still the start code.
    EXPECT_EQ(code(7 + 5 * DIR_DX[d], 7 + 5 * DIR_DY[d], d, 2), 1) << d;
  }
  EXPECT_EQ(value_sum(7, 7, 1), 0);
  // Removing the stone leaves the table's code for an empty window, not the start code.
  remove_stone(position, 7, 7, 1);
  EXPECT_EQ(code(7, 8, 0, 1), 0);
  EXPECT_EQ(code(7, 7, 0, 1), 0);
}

// A direction's room is taken from the table only when its code changes: the second
// player's (7, 9) keeps the room it had when the first stone turned its code to 0.
TEST_F(BookkeepingTest, RoomFollowsTheCodeNotTheWindow) {
  new_board(0, 15, 15);
  place_stone(position, 7, 7, 1);
  EXPECT_EQ(code(7, 9, 0, 2), 0);
  EXPECT_EQ(slot_room(position.dir_shapes[7][9][0], 1), 5);
  const int16_t room_sum = position.cell_summaries[7][9][1].room_sum;
  place_stone(position, 7, 11, 1);
  EXPECT_EQ(pattern_table[window_from_word(position, 0, 7, 9)].room[1], 2);
  EXPECT_EQ(slot_room(position.dir_shapes[7][9][0], 1), 5);
  EXPECT_EQ(position.cell_summaries[7][9][1].room_sum, room_sum);
}

TEST_F(BookkeepingTest, ThreeInARowMakesOpenFourPoints) {
  new_board(0, 15, 15);
  for (int d = 0; d < 4; ++d) {
    reset_board(position, 15, 15, RULE_FREESTYLE);
    for (int k = -1; k <= 1; ++k) place_stone(position, 7 + k * DIR_DX[d], 7 + k * DIR_DY[d], 2);
    for (int side = -1; side <= 1; side += 2) {
      const int x = 7 + 2 * side * DIR_DX[d], y = 7 + 2 * side * DIR_DY[d];
      EXPECT_EQ(code(x, y, d, 2), 11);
      EXPECT_EQ(position.threat_sets.dir_mask[1][1][x][y], 1 << d) << d;
      EXPECT_TRUE(in_kind(1, 2, x, y));
      EXPECT_FALSE(in_kind(1, 1, x, y));
    }
    int cells = 0;
    for (int x = 0; x < 15; ++x) cells += __builtin_popcount(position.threat_sets.row_mask[1][1][x]);
    EXPECT_EQ(cells, 2) << d;
  }
}

TEST_F(BookkeepingTest, FiveAtTheWindowEdgeIsAnOverlineWhereTheRuleSaysSo) {
  // Stones on (7, 5)..(7, 9), (7, 4) to be judged, (7, 3) empty. The stone five steps
  // away is placed last, so only the radius-5 re-examination can see it.
  const struct { int rule, player, expected; } cases[] = {{1, 1, 13}, {1, 2, 13}, {2, 1, 13}, {2, 2, 12}};
  for (const auto& c : cases) {
    new_board(c.rule, 15, 15);
    for (int y = 5; y <= 9; ++y) place_stone(position, 7, y, c.player);
    EXPECT_EQ(pattern_table[window_from_word(position, 0, 7, 4)].code[c.player - 1], 12);
    EXPECT_EQ(code(7, 4, 0, c.player), c.expected) << c.rule << " " << c.player;
    EXPECT_EQ(in_kind(0, c.player, 7, 4), c.expected == 12) << c.rule << " " << c.player;

    // Without the far stone (7, 4) completes exactly five again.
    remove_stone(position, 7, 9, c.player);
    EXPECT_EQ(code(7, 4, 0, c.player), 12);
    EXPECT_TRUE(in_kind(0, c.player, 7, 4));
    place_stone(position, 7, 9, c.player);
    EXPECT_EQ(code(7, 4, 0, c.player), c.expected);
  }
}

TEST_F(BookkeepingTest, RenjuOpenFourWithAStoneBehindACompletionIsAFour) {
  new_board(2, 15, 15);
  for (int y = 4; y <= 6; ++y) place_stone(position, 7, y, 1);
  for (int y = 8; y <= 10; ++y) place_stone(position, 11, y, 2);  // the same shape for the second player
  EXPECT_EQ(code(7, 7, 0, 1), 11);
  const int open_value = value_sum(7, 7, 1);

  // Filling (7, 8) after (7, 7) would now make six.
  place_stone(position, 7, 9, 1);
  place_stone(position, 11, 13, 2);
  EXPECT_EQ(code(7, 7, 0, 1), 9);
  EXPECT_EQ(value_sum(7, 7, 1), open_value - 255);
  EXPECT_FALSE(in_kind(1, 1, 7, 7));
  EXPECT_EQ(position.threat_sets.dir_mask[2][0][7][7], 1);
  EXPECT_EQ(code(7, 3, 0, 1), 11);  // the other end's completions are both exact fives
  EXPECT_EQ(code(11, 11, 0, 2), 11);  // never corrected for the second player

  remove_stone(position, 11, 13, 2);
  remove_stone(position, 7, 9, 1);
  EXPECT_EQ(code(7, 7, 0, 1), 11);
  EXPECT_EQ(value_sum(7, 7, 1), open_value);
  EXPECT_TRUE(in_kind(1, 1, 7, 7));
}

TEST_F(BookkeepingTest, DoubleThreatPointsFollowFullPlacementsOnly) {
  new_board(0, 15, 15);
  // Two twos meeting at (7, 7); (7, 6) turns them into two open threes.
  place_stone(position, 7, 5, 1);
  place_stone(position, 5, 7, 1);
  place_stone(position, 6, 7, 1);
  EXPECT_LT(value_sum(7, 7, 1), DOUBLE_THREAT_VALUE);

  place_stone_light(position, 7, 6, 1);
  EXPECT_GE(value_sum(7, 7, 1), DOUBLE_THREAT_VALUE);
  EXPECT_FALSE(in_kind(4, 1, 7, 7));
  EXPECT_EQ(position.threat_sets.dir_mask[3][0][7][7], 0b11);  // kinds 0..3 are kept all the same
  remove_stone_light(position, 7, 6, 1);

  place_stone(position, 7, 6, 1);
  EXPECT_GE(value_sum(7, 7, 1), DOUBLE_THREAT_VALUE);
  EXPECT_TRUE(in_kind(4, 1, 7, 7));
  // A light stone on the point leaves kind 4 describing the position before it.
  place_stone_light(position, 7, 7, 2);
  EXPECT_LT(value_sum(7, 7, 1), DOUBLE_THREAT_VALUE);
  EXPECT_TRUE(in_kind(4, 1, 7, 7));
  remove_stone_light(position, 7, 7, 2);
  place_stone(position, 7, 7, 2);
  EXPECT_FALSE(in_kind(4, 1, 7, 7));
}

// Long random runs of nested full and light placements, with the whole bookkeeping
// recomputed from scratch after every step (CodeModel, bookkeeping_model.h) and compared
// byte for byte with a twin board whose take-backs work everything out again instead of
// using the undo journal. Every take-back must restore the cells, line words, key and
// move list exactly.
namespace {

class RandomRun {
 public:
  RandomRun(int rule, unsigned seed) : model(position), rule_(rule), rng_(seed), stack_(position, model, &twin_) {
    empty_ = PositionSnapshot::take(position);
  }

  void run(int steps) {
    int target = 30;
    for (int step = 0; step < steps; ++step) {
      if (step % 400 == 0) {
        target = 10 + static_cast<int>(rng_() % 70);
        first_colour_bias_ = 0.2 + 0.6 * uniform();
      }
      act(target);
      check();
      if (::testing::Test::HasFatalFailure()) {
        ADD_FAILURE() << "rule " << rule_ << ", step " << step << ", depth " << stack_.size();
        return;
      }
    }
    while (!stack_.empty()) pop();
    EXPECT_EQ(empty_.difference(position), "") << "after the final unwind";
  }

  CodeModel model;

 private:

  double uniform() { return std::uniform_real_distribution<double>(0.0, 1.0)(rng_); }

  bool pick_cell(int& x, int& y) {
    for (int tries = 0; tries < 50; ++tries) {
      if (position.move_count > 0 && uniform() < 0.8) {
        const PlacedStone& s = position.move_list[rng_() % position.move_count];
        x = s.x + static_cast<int>(rng_() % 5) - 2;
        y = s.y + static_cast<int>(rng_() % 5) - 2;
      } else {
        x = static_cast<int>(rng_() % position.height);
        y = static_cast<int>(rng_() % position.width);
      }
      if (on_board(position, x, y) && position.cells[x][y] == 0) return true;
    }
    return false;
  }

  void push(bool light) {
    int x, y;
    if (!pick_cell(x, y)) return;
    int who = uniform() < first_colour_bias_ ? 1 : 2;
    if (!light && uniform() < 0.02) who = 3;
    stack_.push(x, y, who, light);
  }

  void pop() {
    const PlacementStack::Undone u = stack_.pop();
    ASSERT_EQ(u.difference, "") << "after taking back " << u.x << "," << u.y;
  }

  void act(int target) {
    const double r = uniform();
    if (stack_.light_count() > 0) {
      // Light stones stack on top of the full ones and all go before the next full change.
      if (r < 0.45 && stack_.light_count() < 8) push(true); else pop();
    } else if (r < 0.15) {
      push(true);
    } else if (stack_.empty() || r < (static_cast<int>(stack_.size()) < target ? 0.75 : 0.4)) {
      push(false);
    } else {
      pop();
    }
  }

  void check() {
    ASSERT_EQ(model.fault(stack_.light_count() == 0), "");
    ASSERT_EQ(stack_.twin_difference(), "");
  }

  static Board twin_;
  int rule_;
  std::mt19937 rng_;
  double first_colour_bias_ = 0.5;
  PlacementStack stack_;
  PositionSnapshot empty_;
};

Board RandomRun::twin_;

}  // namespace

TEST_F(BookkeepingTest, RandomNestedMovesFreeStyle) {
  new_board(0, 15, 15);
  RandomRun run(0, 1001);
  run.run(5000);
  EXPECT_GT(run.model.fives_seen, 0);
}

TEST_F(BookkeepingTest, RandomNestedMovesStandard) {
  new_board(1, 15, 15);
  RandomRun run(1, 2002);
  run.run(5000);
  EXPECT_GT(run.model.overlines_seen, 0);
  EXPECT_GT(run.model.false_open_fours_seen, 0);
}

TEST_F(BookkeepingTest, RandomNestedMovesRenju) {
  new_board(2, 15, 15);
  RandomRun run(2, 3003);
  run.run(5000);
  EXPECT_GT(run.model.overlines_seen, 0);
  EXPECT_GT(run.model.false_open_fours_seen, 0);
}

TEST_F(BookkeepingTest, RandomNestedMovesRectangularBoard) {
  new_board(1, 20, 13);
  RandomRun run(1, 4004);
  run.run(5000);
  EXPECT_GT(run.model.overlines_seen, 0);
}

// More stones down than the undo journal holds (every cell of 24 x 24, with light stones
// on top at times), then all taken back: the take-backs whose entries were dropped work
// their lines out again and must still agree with the twin that always does.
TEST_F(BookkeepingTest, TakeBacksBeyondTheJournalsCapacity) {
  new_board(1, 24, 24);
  CodeModel model(position);
  static Board twin;
  PlacementStack stack(position, model, &twin);
  std::mt19937 rng(5005);
  std::vector<int> order(24 * 24);
  for (int i = 0; i < 24 * 24; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  for (int i = 0; i < 24 * 24; ++i) {
    const int x = order[i] / 24, y = order[i] % 24;
    if (position.cells[x][y] != EMPTY) continue;
    stack.push(x, y, 1 + i % 2, false);
    ASSERT_EQ(stack.twin_difference(), "") << "after placing " << i;
  }
  ASSERT_GT(static_cast<int>(stack.size()), JOURNAL_ENTRIES);
  while (!stack.empty()) {
    const PlacementStack::Undone u = stack.pop();
    ASSERT_EQ(u.difference, "");
    ASSERT_EQ(stack.twin_difference(), "") << "after taking back " << u.x << "," << u.y;
  }
}

// A take-back that names an earlier stone (lift_stone) leaves the journal's entries of the
// stones above it stale; what follows must agree with the twin that keeps no journal.
TEST_F(BookkeepingTest, StoneLiftedOutOfOrder) {
  for (int rule = 0; rule <= 2; ++rule) {
    new_board(rule, 15, 15);
    static Board twin;
    twin = position;
    twin.journal.enabled = false;
    std::mt19937 rng(6006 + rule);
    const auto both = [&](auto&& change) {
      change(position);
      change(twin);
      ASSERT_EQ(bookkeeping_difference(position, twin), "");
    };
    for (int round = 0; round < 60; ++round) {
      std::vector<PlacedStone> placed;
      for (int i = 0; i < 12; ++i) {
        const int x = 4 + static_cast<int>(rng() % 7), y = 4 + static_cast<int>(rng() % 7);
        if (position.cells[x][y] != EMPTY) continue;
        both([&](Board& b) { place_stone(b, x, y, 1 + i % 2); });
        placed.push_back(PlacedStone{x, y});
      }
      if (placed.size() < 2) continue;
      const PlacedStone lifted = placed[rng() % (placed.size() - 1)];
      const int who = position.cells[lifted.x][lifted.y];
      both([&](Board& b) { lift_stone(b, lifted.x, lifted.y, who); });
      // Nested placements over the rest, then everything off in placing order reversed.
      for (int i = 0; i < 3; ++i) {
        const int x = static_cast<int>(rng() % 15), y = static_cast<int>(rng() % 15);
        if (position.cells[x][y] != EMPTY || (x == lifted.x && y == lifted.y)) continue;
        both([&](Board& b) { place_stone(b, x, y, BLACK); });
        both([&](Board& b) { place_stone_light(b, lifted.x, lifted.y, WHITE); });
        both([&](Board& b) { remove_stone_light(b, lifted.x, lifted.y, WHITE); });
        both([&](Board& b) { remove_stone(b, x, y, BLACK); });
      }
      while (position.move_count > 0) {
        const PlacedStone s = position.move_list[position.move_count - 1];
        const int owner = position.cells[s.x][s.y];
        both([&](Board& b) { remove_stone(b, s.x, s.y, owner); });
      }
      if (HasFatalFailure()) return;
    }
  }
}
