#include "threats/four_threat.h"

#include <gtest/gtest.h>

#include "support/engine_setup.h"

using namespace zerin;
using namespace zerin_test;

namespace {

// The value of a win k stones below the root: every level negates its child, and the
// win is seen at h = 576 - k.
constexpr int win_after(int k) { return WIN_VALUE + MAX_CELLS - k; }

class FourThreat : public EngineTest {
 protected:
  // A root call as the node search makes it.
  static int search(int side) {
    worker.node_count = 0;
    worker.iteration_depth = 0;
    return four_threat_search(worker, 0, side, ATTACKER, 0);
  }
  // Black (or white) wins by two fours: (7,6) forces (7,7); then (8,6) makes a four
  // along the column and an open three along row 8, and the block at (6,6) leaves the
  // open three to become a straight four.
  static void two_four_win(int rule, int attacker) {
    new_board(rule);
    draw(7, 2, "OXXX/.....XX/....X/....X/....O", attacker);
  }
};

}  // namespace

TEST_F(FourThreat, FivePointOfTheAttackerWinsAtOnce) {
  for (int rule = 0; rule <= 2; ++rule) {
    new_board(rule);
    draw(7, 3, "XXXX");
    draw(9, 3, "OOOO");  // the defender's five point does not matter: the side to move plays first
    const Snapshot before;
    EXPECT_EQ(search(1), win_after(0));
    EXPECT_EQ(worker.node_count, 1);
    EXPECT_TRUE(before.unchanged());
    EXPECT_EQ(threat_probe(0, 576, 1, position.hash_key), HASH_MISS) << "nothing stored";
  }
}

TEST_F(FourThreat, WinCheckUnderRenjuExaminesOnlyBlacksFirstOpenFourPoint) {
  // Open three (7,5..7): open-four points (7,4) and (7,8). Five stones along column 4
  // make (7,4) an overline point, forbidden for black under Renju (and a five point
  // under free-style).
  for (int rule = 0; rule <= 2; ++rule) {
    new_board(rule);
    draw(4, 4, "X/X/X/.XXX/X/X");
    EXPECT_EQ(threat_win_check(position, 576, 1), rule == 2 ? 0 : WIN_VALUE + 576) << rule;
    // The same with (7,8), the later point, forbidden instead.
    new_board(rule);
    draw(4, 5, "...X/...X/...X/XXX/...X/...X");
    EXPECT_EQ(threat_win_check(position, 300, 1), WIN_VALUE + 300) << rule;
    // The opponent's five point comes before any open-four point.
    new_board(rule);
    draw(7, 5, "XXX");
    EXPECT_EQ(threat_win_check(position, 300, 1), WIN_VALUE + 300) << rule;
    draw(1, 1, "OOOO");
    EXPECT_EQ(threat_win_check(position, 300, 1), 0);
  }
}

TEST_F(FourThreat, WinByTwoFoursUnderEveryRule) {
  for (int rule = 0; rule <= 2; ++rule) {
    for (int attacker = 1; attacker <= 2; ++attacker) {
      two_four_win(rule, attacker);
      const Snapshot before;
      EXPECT_EQ(search(attacker), win_after(4)) << rule << " " << attacker;
      EXPECT_EQ(worker.node_count, 5) << "root, two fours, two blocks";
      EXPECT_EQ(worker.abort_flag, 0);
      EXPECT_TRUE(before.unchanged());
      // The result is stored for the root, relative to it; the defender does not win.
      EXPECT_EQ(threat_probe(0, 576, attacker, position.hash_key), win_after(4));
      EXPECT_EQ(threat_probe(0, 570, attacker, position.hash_key), WIN_VALUE + 570 - 4);
      // The other side has no four that wins; that is stored as 0 for its root.
      EXPECT_EQ(search(attacker ^ 3), 0);
      EXPECT_EQ(threat_probe(0, 576, attacker ^ 3, position.hash_key), 0);
    }
  }
}

TEST_F(FourThreat, DoubleFourPointWinsExceptForBlackUnderRenju) {
  // (7,6) completes a closed four along the row and one along the column.
  for (int rule = 0; rule <= 2; ++rule) {
    new_board(rule);
    draw(2, 2, "....O//....X/....X/....X/OXXX./....O");
    // The four, the block of one five point, and the other five point.
    EXPECT_EQ(search(1), rule == 2 ? 0 : win_after(2)) << rule;
    EXPECT_EQ(worker.abort_flag, 0);
  }
}

TEST_F(FourThreat, DefenderFivePointRefutesEveryFourThatDoesNotBlockIt) {
  for (int rule = 0; rule <= 2; ++rule) {
    two_four_win(rule, 1);
    draw(1, 0, "XOOOO");  // white's five point is (1,5) alone
    EXPECT_EQ(threat_win_check(position, 576, 1), 0);
    EXPECT_EQ(search(1), 0) << rule;
  }
}

TEST_F(FourThreat, RenjuBlackMayNotBlockOnAForbiddenCellAndLoses) {
  // White (6,6..8) blocked by black at (6,4) and (6,10): white's fours (6,5) and (6,9)
  // complete at each other. Black stones along column 5 make (6,5) an overline point.
  // A closed three on column 9 lends (6,9) enough value to be tried.
  for (int rule = 1; rule <= 2; ++rule) {
    new_board(rule);
    draw(3, 4, ".X/.X/.X/X.OOO.X/.X...O/.X...O/.....X");
    if (rule == 1) {
      // Under the standard rule black simply blocks.
      EXPECT_EQ(search(2), 0);
      continue;
    }
    EXPECT_EQ(search(2), win_after(1));
    EXPECT_EQ(worker.abort_flag, 0);
    // The defender node with no legal block was stored as a loss for black.
    const uint64_t after_four = position.hash_key ^ zobrist_keys[6 * MAX_SIDE + 9][1];
    EXPECT_EQ(threat_probe(1, 575, 1, after_four), -(WIN_VALUE + 575));
    // Searched directly, the same defender node.
    place_stone(position, 6, 9, 2);
    clear_hash_tables();
    worker.node_count = 0;
    worker.iteration_depth = 1;
    EXPECT_EQ(four_threat_search(worker, 1, BLACK, DEFENDER, 1), -(WIN_VALUE + 575));
  }
}

TEST_F(FourThreat, DefenderNodeWithoutAFivePointOfTheAttackerIsWorthNothing) {
  two_four_win(0, 1);
  worker.iteration_depth = 0;
  EXPECT_EQ(four_threat_search(worker, 0, WHITE, DEFENDER, 1), 0);
  EXPECT_EQ(threat_probe(1, 575, 2, position.hash_key), 0);
}

TEST_F(FourThreat, StoredZeroAnswersWithoutASearch) {
  two_four_win(2, 1);
  threat_store(position.hash_key, worker.game_moves, 0, 576, 0, 1);
  EXPECT_EQ(search(1), 0);
  EXPECT_EQ(worker.node_count, 1);
  // Stored for the other player, it does not count.
  two_four_win(2, 1);
  threat_store(position.hash_key, worker.game_moves, 0, 576, 0, 2);
  EXPECT_EQ(search(1), win_after(4));
}

TEST_F(FourThreat, LimitsStopTheSearchUnlessTheNodeBudgetIsUnlimited) {
  auto search_past_the_clock = [](int32_t max_node, int32_t stop) {
    two_four_win(0, 1);
    settings.max_node = max_node;
    stop_flag = stop;
    worker.turn_limit = 100;
    worker.decision_start = clock_ms() - 1000000;
    worker.node_count = 1023;  // the first node is the 1024th: the limit test runs there
    worker.iteration_depth = 0;
    return four_threat_search(worker, 0, BLACK, ATTACKER, 0);
  };
  EXPECT_EQ(search_past_the_clock(-1, 0), win_after(4));
  EXPECT_EQ(worker.abort_flag, 0);
  EXPECT_EQ(search_past_the_clock(2000000000, 0), 0);
  EXPECT_EQ(worker.abort_flag, 1);
  EXPECT_EQ(threat_probe(0, 576, 1, position.hash_key), HASH_MISS) << "an aborted search stores nothing";
  EXPECT_EQ(search_past_the_clock(-1, 1), 0);
  EXPECT_EQ(worker.abort_flag, 1);
  stop_flag = 0;
}

TEST_F(FourThreat, StoreKeepsEntriesNearerTheRootOfThisOrThePreviousMove) {
  new_board(0);
  // The keys differ from bit 12 up only: one bucket in tables of up to 4096 buckets.
  static_assert(TEST_HASH_BUCKETS <= 4096, "the keys below share a bucket");
  const uint64_t bucket = 0x2A5;
  auto key = [&](int i) { return static_cast<uint64_t>(i + 1) << 36 | static_cast<uint64_t>(i) << 12 | bucket; };
  int game_moves = 10;
  threat_store(key(0), game_moves, WIN_VALUE + 570, 570, 0, 1);
  EXPECT_EQ(hash_tables.threat_hash[0][bucket].entries[0].value, WIN_VALUE);
  EXPECT_EQ(threat_probe(0, 560, 1, key(0)), WIN_VALUE + 560);
  EXPECT_EQ(threat_probe(1, 570, 1, key(0)), HASH_MISS) << "other node kind";
  EXPECT_EQ(threat_probe(0, 570, 2, key(0)), HASH_MISS) << "other player";
  // A deeper newcomer goes to the second entry.
  threat_store(key(1), game_moves, -(WIN_VALUE + 565), 565, 0, 1);
  EXPECT_EQ(hash_tables.threat_hash[0][bucket].entries[1].value, -WIN_VALUE);
  EXPECT_EQ(threat_probe(0, 565, 1, key(0)), WIN_VALUE + 565);
  EXPECT_EQ(threat_probe(0, 565, 1, key(1)), -(WIN_VALUE + 565));
  // So does one of the next move.
  game_moves = 11;
  threat_store(key(2), game_moves, 7, 560, 0, 1);
  EXPECT_EQ(threat_probe(0, 500, 1, key(2)), 7);
  EXPECT_EQ(threat_probe(0, 500, 1, key(0)), WIN_VALUE + 500);
  // Two moves later, or stored at the same level or nearer the root, the first entry
  // gives way.
  game_moves = 12;
  threat_store(key(3), game_moves, 3, 560, 0, 1);
  EXPECT_EQ(threat_probe(0, 500, 1, key(0)), HASH_MISS);
  EXPECT_EQ(threat_probe(0, 500, 1, key(3)), 3);
  threat_store(key(4), game_moves, 4, 560, 0, 1);
  EXPECT_EQ(threat_probe(0, 500, 1, key(3)), HASH_MISS);
  threat_store(key(5), game_moves, 6, 570, 0, 1);
  EXPECT_EQ(threat_probe(0, 500, 1, key(4)), HASH_MISS);
  // The same key always overwrites the first entry.
  threat_store(key(4), game_moves, 4, 570, 0, 1);
  threat_store(key(4), game_moves, 5, 400, 0, 1);
  EXPECT_EQ(threat_probe(0, 500, 1, key(4)), 5);
  EXPECT_EQ(hash_tables.threat_hash[0][bucket].entries[0].value, 5);
}

// Caro: a five point whose five is blocked at both ends wins nothing, and an open three
// with an opponent's stone past the far end of one open-four point's four gives no open
// four that wins at once (the opponent takes the other end). Free-style wins both.
TEST_F(FourThreat, CaroBlockedFivesAndFoursStoppedByOneStoneAreNoWin) {
  for (int rule : {RULE_FREESTYLE, RULE_CARO, RULE_CARO_EXACT}) {
    const int expected = rule == RULE_FREESTYLE ? WIN_VALUE + 300 : 0;
    new_board(rule);
    draw(7, 2, "OXXXX.O");
    EXPECT_EQ(threat_win_check(position, 300, BLACK), expected) << rule;
    EXPECT_EQ(search(BLACK), rule == RULE_FREESTYLE ? win_after(0) : 0) << rule;
    new_board(rule);
    draw(7, 2, "O.XXX..");
    EXPECT_EQ(threat_win_check(position, 300, BLACK), expected) << rule;
    // With the opponent's stone gone, the open four wins under every rule.
    new_board(rule);
    draw(7, 2, "..XXX..");
    EXPECT_EQ(threat_win_check(position, 300, BLACK), WIN_VALUE + 300) << rule;
  }
}
