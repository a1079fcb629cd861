#include "search/candidates.h"

#include <set>
#include <utility>
#include <vector>

#include "board/bookkeeping.h"
#include "support/engine_setup.h"
#include "threats/collectors.h"
#include "threats/evaluation.h"
#include "threats/forbidden.h"

using namespace zerin;
using namespace zerin_test;

namespace {

using Cells = std::vector<std::pair<int, int>>;

Cells cells_of(const Candidate* list, int n) {
  Cells out;
  for (int i = 0; i < n; ++i) out.emplace_back(list[i].x, list[i].y);
  return out;
}

// A node of the given kind, already counted as expanding (its stamps are fresh).
SearchNode expanding_node(int side, bool pv, bool root = false) {
  worker.iteration_depth = 5;
  SearchNode node(worker, root ? 5 : 3, 0, pv ? 1000 : 1, side, 0, root);
  ++worker.ply_visits[node.ply];
  return node;
}

// The stages a node walks from stage 1, each batch scored as the search does.
std::vector<std::pair<int, Cells>> walk_stages(SearchNode& node) {
  std::vector<std::pair<int, Cells>> stages;
  for (int phase = STAGE_OWN_DOUBLE; phase <= STAGE_GENERAL; ++phase) {
    const int n = next_batch(node, &phase);
    if (n == 0) {
      EXPECT_EQ(phase, STAGE_END);
      break;
    }
    stages.emplace_back(phase, cells_of(node.list, n));
    score_batch(node, n);
  }
  return stages;
}

}  // namespace

TEST(CandidateSort, EqualScoresKeepTheirOrder) {
  for (int n : {7, 32, 33, 200, LIST_CAPACITY}) {  // the short and the merging path
    std::vector<Candidate> list(n);
    for (int i = 0; i < n; ++i) list[i] = {i % 5 == 4 ? SKIP_SCORE : -(i * 7 % 3), static_cast<int16_t>(i), 0};
    sort_candidates(worker, list.data(), n);
    for (int i = 1; i < n; ++i) {
      ASSERT_LE(list[i - 1].score, list[i].score) << n;
      if (list[i - 1].score == list[i].score) {
        ASSERT_LT(list[i - 1].x, list[i].x) << n;
      }
    }
  }
}

class CandidateStages : public EngineTest {};

TEST_F(CandidateStages, OwnThreatsComeBeforeTheOpponents) {
  // Black's three-three point (5,4), white's (10,9); nobody has an open-four point.
  put({{5, 5, 1}, {5, 6, 1}, {6, 4, 1}, {7, 4, 1}, {10, 10, 2}, {10, 11, 2}, {11, 9, 2}, {12, 9, 2}});
  SearchNode node = expanding_node(1, true);
  const auto stages = walk_stages(node);
  ASSERT_EQ(stages.size(), 5u);
  Candidate expect[LIST_CAPACITY];
  const int phases[] = {STAGE_OWN_DOUBLE, STAGE_OPP_DOUBLE, STAGE_OWN_THREATS, STAGE_OPP_THREATS, STAGE_GENERAL};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(stages[i].first, phases[i]) << "stage 2 is empty and falls through";
  EXPECT_EQ(stages[0].second, (Cells{{5, 4}}));
  EXPECT_EQ(stages[1].second, (Cells{{10, 9}}));
  EXPECT_EQ(stages[2].second, cells_of(expect, collect_plain_threat_points(position, expect, 1)));
  EXPECT_EQ(stages[3].second, cells_of(expect, collect_plain_threat_points(position, expect, 2)));
}

TEST_F(CandidateStages, OpenFourDefenceIsTheLastStage) {
  // White's split three has the open-four point (10,12); black's closed three gives
  // black the four points (3,6) and (3,7).
  put({{10, 10, 2}, {10, 11, 2}, {10, 13, 2}, {3, 2, 2}, {3, 3, 1}, {3, 4, 1}, {3, 5, 1}});
  SearchNode node = expanding_node(1, false);
  const auto stages = walk_stages(node);
  ASSERT_EQ(stages.size(), 1u);
  EXPECT_EQ(stages[0].first, STAGE_DEFENCE_ONLY);
  // The open-four point, the two cells behind it that stop the three, black's fours.
  EXPECT_EQ(stages[0].second, (Cells{{10, 12}, {10, 14}, {10, 9}, {3, 6}, {3, 7}}));
}

TEST_F(CandidateStages, RenjuWhiteFacingOnlyForbiddenOpenFoursGoesOn) {
  // Black's only open-four point (7,6) would also make a four in column 6: a double
  // four, forbidden under Renju but not under the standard rule.
  for (int rule : {2, 1}) {
    new_board(rule);
    put({{7, 4, 1}, {7, 5, 1}, {7, 7, 1}, {4, 6, 1}, {5, 6, 1}, {6, 6, 1}, {3, 6, 2}, {12, 12, 2}});
    if (rule == 2) {
      ASSERT_EQ(is_forbidden(position, 7, 6), 1);
    }
    SearchNode node = expanding_node(2, true);
    int phase = STAGE_OPEN_FOUR_DEFENCE;
    const int n = next_batch(node, &phase);
    EXPECT_EQ(cells_of(node.list, n), (Cells{{7, 6}, {7, 8}, {7, 3}}));
    EXPECT_EQ(phase, rule == 2 ? STAGE_OPEN_FOUR_DEFENCE : STAGE_DEFENCE_ONLY) << rule;
  }
}

class CandidateGeneral : public EngineTest {};

TEST_F(CandidateGeneral, EveryCellIsAcceptedOnce) {
  put({{5, 5, 1}, {5, 6, 1}, {6, 4, 1}, {7, 4, 1}, {10, 10, 2}, {10, 11, 2}, {11, 9, 2}, {12, 9, 2}});
  block_grid.cells[6][5] = 1;  // next to black's stones
  SearchNode node = expanding_node(1, true, true);
  int phase = STAGE_GENERAL;
  const int n = next_batch(node, &phase);
  const int accepted = score_batch(node, n);
  std::set<std::pair<int, int>> seen;
  for (int i = 0; i < n; ++i) {
    const bool first = seen.insert({node.list[i].x, node.list[i].y}).second;
    EXPECT_EQ(node.list[i].score == SKIP_SCORE, !first) << node.list[i].x << "," << node.list[i].y;
  }
  EXPECT_EQ(accepted, static_cast<int>(seen.size()));
  EXPECT_LT(accepted, n) << "the passes overlap";
  EXPECT_EQ(seen.count({6, 5}), 0u) << "a blocked cell never qualifies at the root";
  sort_candidates(worker, node.list, n);
  EXPECT_EQ(node.list[accepted].score, SKIP_SCORE);
  const int again = next_batch(node, &phase);  // the same stage asked once more
  EXPECT_EQ(score_batch(node, again), 0);
}

TEST_F(CandidateGeneral, BatchOnALargeBoardOutgrowsOneList) {
  new_board(0, 24, 24);
  for (int x = 0; x < 24; ++x)
    for (int y = 0; y < 24; ++y)
      if ((x + 2 * y) % 5 == 0) put({{x, y, 1 + (x + y) % 2}});
  SearchNode node = expanding_node(1, true, true);
  int phase = STAGE_GENERAL;
  const int n = next_batch(node, &phase);
  EXPECT_GT(n, MAX_CELLS);
  EXPECT_EQ(score_batch(node, n), MAX_CELLS - game.count);
}

class CandidateAttributes : public EngineTest {
 protected:
  // Black's closed three on row x leaves the four point (x,7): a shape-code-9 cell of
  // value 256 + 3 with no five or open-four point near it, hence class 1.
  static void closed_three(int x) {
    new_board(0);
    put({{x, 8, 1}, {x, 9, 1}, {x, 10, 1}, {x, 11, 2}});
  }
};

TEST_F(CandidateAttributes, ThreatClassAndExtensionStep) {
  closed_three(7);
  SearchNode null_node = expanding_node(1, false), pv_node = expanding_node(1, true);
  const MoveAttributes quiet = move_attributes(3, 3, null_node);
  EXPECT_EQ(quiet.threat_class, 0);
  EXPECT_EQ(quiet.offset, 0);
  EXPECT_EQ(quiet.step, 0);
  EXPECT_EQ(move_attributes(7, 7, null_node).threat_class, 1);
  EXPECT_EQ(move_attributes(7, 7, null_node).step, 1);
  EXPECT_EQ(move_attributes(7, 7, pv_node).step, 2);
}

TEST_F(CandidateAttributes, FourOffsetByEdgeDistanceAndEvaluation) {
  closed_three(7);  // (7,7) lies 7 cells from the edge: weight 15, no further factors
  SearchNode node = expanding_node(1, false);
  EXPECT_EQ(move_attributes(7, 7, node).offset, -15);
  EXPECT_EQ(node.cached_eval, NO_VALUE) << "far from the edge nothing needs the evaluation";
  node.cached_eval = 700;
  EXPECT_EQ(move_attributes(7, 7, node).offset, -15);

  // (1,7): full weight 40, room 22 (no room factor), black's room total above white's.
  closed_three(1);
  const int cases[][2] = {{700, 0},    {500, -4},   {450, -8},   {350, -16},  {250, -24},  {150, -32},
                          {0, -40},    {-150, -44}, {-250, -52}, {-350, -64}, {-600, -72}};
  for (const auto& c : cases) {
    SearchNode with_eval = expanding_node(1, false);
    with_eval.cached_eval = c[0];
    EXPECT_EQ(move_attributes(1, 7, with_eval).offset, c[1]) << "evaluation " << c[0];
  }
  SearchNode fresh = expanding_node(1, false);
  const int offset = move_attributes(1, 7, fresh).offset;
  EXPECT_EQ(fresh.cached_eval, evaluate_position(worker, fresh.depth - 1, 1));
  SearchNode preset = expanding_node(1, false);
  preset.cached_eval = fresh.cached_eval;
  EXPECT_EQ(offset, move_attributes(1, 7, preset).offset);
}
