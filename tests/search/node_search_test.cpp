#include "search/node_search.h"

#include <string>
#include <vector>

#include "position_suite.h"
#include "search/busy.h"
#include "search/candidates.h"
#include "search/root_search.h"
#include "support/engine_setup.h"
#include "threats/forbidden.h"

using namespace zerin;
using namespace zerin_test;

namespace {

constexpr int WIDE = 100000000;

// A 5 by 5 board filled without a five: 13 black and 12 white stones.
void fill_small_board() {
  new_board(0, 5, 5);
  for (int x = 0; x < 5; ++x)
    for (int y = 0; y < 5; ++y) put({{x, y, 1 + (x / 2 + y) % 2}});
}

}  // namespace

TEST(NodeSearchBestMoves, RankingKeepsTheEarlierOfEqualMoves) {
  BestMoves b;
  init_best_moves(b);
  auto order = [&b] { return std::vector<int>{b.x[0], b.x[1], b.x[2]}; };
  insert_best_move(b, 1, 0, 5);
  insert_best_move(b, 2, 0, 5);
  EXPECT_EQ(order(), (std::vector<int>{1, 2, -1}));
  insert_best_move(b, 3, 0, 7);
  insert_best_move(b, 4, 0, 6);
  EXPECT_EQ(order(), (std::vector<int>{3, 4, 1}));
  insert_best_move(b, 5, 0, 6);  // equal to the second: only beats the third
  insert_best_move(b, 6, 0, 5);  // beats nothing
  EXPECT_EQ(order(), (std::vector<int>{3, 4, 5}));
  EXPECT_EQ(b.rank[2], 6);
}

class NodeSearch : public EngineTest {};

TEST_F(NodeSearch, WinOnTheBoardNeedsNoMove) {
  put({{7, 3, 1}, {7, 4, 1}, {7, 5, 1}, {7, 6, 1}, {7, 2, 2}, {3, 3, 2}, {3, 4, 2}});
  worker.iteration_depth = 6;
  EXPECT_EQ(search_node(worker, 4, -WIDE, WIDE, 1, 0), 4 + WIN_VALUE);
  EXPECT_EQ(worker.node_count, 1);
  EXPECT_EQ(worker.expanded_count, 0);
  EXPECT_EQ(search_root(worker, 1), 6 + WIN_VALUE);
  EXPECT_EQ(worker.expanded_count, 0);
}

TEST_F(NodeSearch, FiveOfTheOpponentIsBlockedAlone) {
  // White's four (7,5)..(7,8) has the five points (7,4) and (7,9); black has many moves.
  put({{8, 5, 1}, {7, 5, 2}, {8, 6, 1}, {7, 6, 2}, {6, 8, 1}, {7, 7, 2}, {5, 9, 1}, {7, 8, 2}});
  worker.iteration_depth = 5;
  EXPECT_EQ(search_node(worker, 3, -WIDE, WIDE, 1, 0), -(2 + WIN_VALUE));  // white still has (7,9)
  EXPECT_EQ(worker.tried_sum, 1.0);
  EXPECT_EQ(worker.expanded_count, 1);
  EXPECT_EQ(worker.pv_table[2][0].score, 1);
  EXPECT_EQ(worker.pv_table[2][1].x, 7) << "the first five point, lowest row then column";
  EXPECT_EQ(worker.pv_table[2][1].y, 4);
}

TEST_F(NodeSearch, TableCutsOnlyNullWindowNodes) {
  put({{7, 7, 1}, {8, 8, 2}, {6, 8, 1}, {8, 6, 2}});
  worker.iteration_depth = 2;
  store_table(position.hash_key, worker.game_moves, 2, 1234, 3, 1, -1, -1, -1, -1, -1, -1);
  EXPECT_EQ(search_node(worker, 2, 0, 1, 1, 0), 1234);
  EXPECT_EQ(worker.expanded_count, 0);
  EXPECT_EQ(worker.node_count, 1);
  EXPECT_NE(search_node(worker, 2, -1000, 1000, 1, 0), 1234);
  EXPECT_GT(worker.expanded_count, 0);
}

TEST_F(NodeSearch, RenjuBlackCannotBlockOnAForbiddenPoint) {
  // White's five point (7,7) would give black six in column 7.
  for (int rule : {2, 1}) {
    new_board(rule);
    put({{7, 2, 1}, {7, 3, 2}, {4, 7, 1}, {7, 4, 2}, {5, 7, 1}, {7, 5, 2}, {6, 7, 1}, {7, 6, 2}, {8, 7, 1}, {12, 12, 2},
         {9, 7, 1}, {12, 0, 2}});
    worker.iteration_depth = 3;
    const int wide = search_node(worker, 3, -WIDE, WIDE, 1, 0);
    const int narrow = search_node(worker, 3, -5, 100, 1, 0);
    if (rule == 2) {
      EXPECT_EQ(wide, -(9999998 + 3));
      EXPECT_EQ(narrow, -5);
      EXPECT_EQ(worker.tried_sum, 0.0) << "a forbidden cell is not accepted";
    } else {
      EXPECT_GT(wide, -DECIDED_BOUND) << "under the standard rule black simply blocks";
    }
  }
}

TEST_F(NodeSearch, FullBoardIsADraw) {
  fill_small_board();
  worker.iteration_depth = 3;
  EXPECT_EQ(search_node(worker, 3, -WIDE, WIDE, 2, 0), 0);
  // The record counts with the plies searched: two stones short of full at ply 2 is
  // full, at ply 1 it is not (and black then has no move: a loss).
  worker.game_moves = 23;
  EXPECT_EQ(search_node(worker, 1, -WIDE, WIDE, 1, 0), 0);
  EXPECT_EQ(search_node(worker, 2, -WIDE, WIDE, 1, 0), -(9999998 + 2));
}

// With helper threads a node puts off the moves into positions another thread is busy
// with. When the late-move rule then ends the node's moves, the moves put off rank above
// the one that ended them and must still be searched: left out, the node fails low where
// it fails high searched alone, and stores that upper bound for every thread. Benchmark
// positions and null windows where that happened; "another thread" is busy with every
// child position of a fixed pattern of cells.
TEST_F(NodeSearch, MovesPutOffAreSearchedWhenTheLateMoveRuleEndsTheNode) {
  const std::vector<SuitePosition> positions =
      load_positions(std::string(ZERIN_SOURCE_DIR) + "/bench/positions/positions.txt");
  struct Case {
    size_t position;
    int depth, alpha, pattern;  // busy children: cells with (7x + 3y) % pattern == 0
  };
  static BusyTable others;
  for (const Case& c : {Case{1, 4, 300, 2}, Case{1, 4, 300, 3}, Case{20, 4, 0, 3}, Case{20, 4, 30, 3},
                        Case{46, 3, 30, 4}, Case{46, 4, 100, 4}}) {
    ASSERT_LT(c.position, positions.size());
    const SuitePosition& p = positions[c.position];
    auto search = [&](bool busy_children) {
      new_board(p.rule, p.width, p.height);
      int side = BLACK;
      for (const auto& m : p.moves) {
        put({{m.first, m.second, side}});
        side = opponent(side);
      }
      others.clear();
      if (busy_children)
        for (int x = 0; x < p.height; ++x)
          for (int y = 0; y < p.width; ++y)
            if (position.cells[x][y] == EMPTY && (7 * x + 3 * y) % c.pattern == 0)
              others.enter(position.hash_key ^ zobrist_keys[x * MAX_SIDE + y][side - 1]);
      worker.busy = busy_children ? &others : nullptr;
      worker.iteration_depth = c.depth + 3;  // the late-move rule applies from ply 3
      const int value = search_node(worker, c.depth, c.alpha, c.alpha + 1, side, 0);
      worker.busy = nullptr;
      return value;
    };
    const std::string where = "position " + std::to_string(c.position) + " depth " + std::to_string(c.depth) +
                              " alpha " + std::to_string(c.alpha) + " pattern " + std::to_string(c.pattern);
    ASSERT_GT(search(false), c.alpha) << where << ": searched alone the node fails high";
    EXPECT_GT(search(true), c.alpha) << where;
  }
}
