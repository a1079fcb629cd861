#include "search/root_search.h"

#include <string>

#include "board/hash_tables.h"
#include "support/engine_setup.h"
#include "threats/evaluation.h"

using namespace zerin;
using namespace zerin_test;

class RootSearch : public EngineTest {};

TEST_F(RootSearch, NoDepthLeftGivesTheStaticEvaluation) {
  put({{7, 7, 1}, {8, 8, 2}, {6, 8, 1}});
  for (int d : {0, -2}) {
    worker.iteration_depth = d;
    const int value = search_root(worker, 2);
    EXPECT_EQ(value, evaluate_position(worker, d, 2));
    EXPECT_EQ(worker.expanded_count, 0);
    int xs[3], ys[3];
    EXPECT_EQ(probe_table(d, -1, 1, 2, static_cast<uint32_t>(position.hash_key),
                          static_cast<uint32_t>(position.hash_key >> 32), xs, ys, 1),
              value)
        << "stored as exact";
  }
}

TEST_F(RootSearch, EmptyBoardOffersEveryFreeCell) {
  block_grid.cells[7][7] = 1;
  worker.iteration_depth = 1;
  search_root(worker, 1);
  EXPECT_EQ(worker.tried_sum, 224.0);
  EXPECT_EQ(worker.expanded_count, 1) << "depth-0 children are leaves";
  EXPECT_FALSE(worker.best_move.x == 7 && worker.best_move.y == 7);
}

TEST_F(RootSearch, NothingToSearchKeepsTheChosenCell) {
  // White's only five point is a cell the controller blocked.
  put({{7, 2, 1}, {7, 3, 2}, {3, 3, 1}, {7, 4, 2}, {3, 5, 1}, {7, 5, 2}, {11, 3, 1}, {7, 6, 2}});
  block_grid.cells[7][7] = 1;
  worker.best_move = {3, 4};
  worker.iteration_depth = 4;
  EXPECT_EQ(search_root(worker, 1), -(9999998 + 4));
  EXPECT_EQ(worker.best_move.x, 3);
  EXPECT_EQ(worker.best_move.y, 4);

  new_board(0, 5, 5);  // a full board is a draw
  for (int x = 0; x < 5; ++x)
    for (int y = 0; y < 5; ++y) put({{x, y, 1 + (x / 2 + y) % 2}});
  worker.best_move = {3, 4};
  worker.iteration_depth = 2;
  EXPECT_EQ(search_root(worker, 2), 0);
  EXPECT_EQ(worker.best_move.x, 3);
  EXPECT_EQ(worker.best_move.y, 4);
}

TEST_F(RootSearch, RealtimeLinesOfAWinningBlock) {
  // Black must block white's five at (7,7), which makes black an open four: a win.
  put({{7, 2, 1}, {7, 3, 2}, {5, 7, 1}, {7, 4, 2}, {6, 7, 1}, {7, 5, 2}, {8, 7, 1}, {7, 6, 2}});
  settings.show_detail = 1;
  const std::string lines[] = {"", "MESSAGE REALTIME BEST 7,7\n"
                                   "MESSAGE REALTIME REFRESH\n"
                                   "MESSAGE REALTIME POS 7,7\n"
                                   "MESSAGE REALTIME DONE 7,7\n"
                                   "MESSAGE REALTIME BEST 7,7\n"
                                   "MESSAGE REALTIME VAL 10000\n"
                                   "MESSAGE REALTIME PV [8H] [11H]\n"};
  for (int d : {7, 8}) {
    worker.iteration_depth = d;
    ::testing::internal::CaptureStdout();
    const int value = search_root(worker, 1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), lines[d - 7]) << "depth " << d;
    EXPECT_GT(value, DECIDED_BOUND);
  }
}
