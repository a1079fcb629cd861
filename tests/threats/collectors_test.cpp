#include "threats/collectors.h"

#include <gtest/gtest.h>

#include <string>

#include "support/engine_setup.h"

using namespace zerin;
using namespace zerin_test;

namespace {

// Cells written as "(x,y)" in list order.
std::string cells_of(const Candidate* list, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "(" + std::to_string(list[i].x) + "," + std::to_string(list[i].y) + ")";
  return s;
}

// Threat sets filled by hand: the collectors read nothing else.
class Collector : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    std::memset(&position.threat_sets, 0, sizeof position.threat_sets);
    for (Candidate& c : list) c = Candidate{-77, -7, -7};
  }
  static void add(int kind, int player, int x, int y) {
    position.threat_sets.row_mask[kind][player - 1][x] |= 1 << y;
    position.threat_sets.set_rows[kind][player - 1] |= 1 << x;
  }
  bool untouched_from(int i) const {
    for (; i < 8; ++i)
      if (list[i].score != -77 || list[i].x != -7 || list[i].y != -7) return false;
    return true;
  }

  Candidate list[8];
};

}  // namespace

TEST_F(Collector, EachKindIsWrittenInRowThenColumnOrderAndScoresStay) {
  const struct {
    int kind;
    int (*collect)(const Board&, Candidate*, int);
  } collectors[] = {{FIVE_POINTS, collect_five_points},
                    {OPEN_FOUR_POINTS, collect_open_four_points},
                    {FOUR_POINTS, collect_four_points},
                    {THREE_POINTS, collect_three_points},
                    {DOUBLE_THREAT_POINTS, collect_double_threat_points}};
  for (const auto& c : collectors) {
    SetUp();
    for (int player = 1; player <= 2; ++player) {
      EXPECT_EQ(c.collect(position, list, player), 0) << c.kind;
      EXPECT_TRUE(untouched_from(0)) << c.kind;
    }
    add(c.kind, 2, 3, 7);
    add(c.kind, 2, 3, 2);
    add(c.kind, 2, 1, 9);
    add(c.kind, 2, 23, 23);  // the corner cell of the largest board
    add(c.kind, 1, 0, 0);    // the other player's cell
    ASSERT_EQ(c.collect(position, list, 2), 4) << c.kind;
    EXPECT_EQ(cells_of(list, 4), "(1,9)(3,2)(3,7)(23,23)") << c.kind;
    EXPECT_EQ(list[0].score, -77);
    EXPECT_TRUE(untouched_from(4));
    // Written at the list it is given: a second set goes after the first.
    EXPECT_EQ(c.collect(position, list + 4, 1), 1);
    EXPECT_EQ(cells_of(list, 5), "(1,9)(3,2)(3,7)(23,23)(0,0)");
    // Any other kind has nothing.
    for (const auto& other : collectors) {
      if (other.kind == c.kind) continue;
      EXPECT_EQ(other.collect(position, list + 5, 2), 0) << c.kind << " " << other.kind;
    }
    EXPECT_TRUE(untouched_from(5));
  }
}

TEST_F(Collector, PlainThreatPointsLeaveOutDoubleThreatPointsAndRepeatNone) {
  EXPECT_EQ(collect_plain_threat_points(position, list, 1), 0);
  EXPECT_TRUE(untouched_from(0));
  add(FOUR_POINTS, 1, 2, 5);  // four point only
  add(THREE_POINTS, 1, 2, 1);  // three point only
  add(FOUR_POINTS, 1, 4, 4);  // four point and three point
  add(THREE_POINTS, 1, 4, 4);
  add(FOUR_POINTS, 1, 6, 6);  // four point and double-threat point
  add(DOUBLE_THREAT_POINTS, 1, 6, 6);
  add(THREE_POINTS, 1, 9, 0);  // three point and double-threat point: its row writes nothing
  add(DOUBLE_THREAT_POINTS, 1, 9, 0);
  add(DOUBLE_THREAT_POINTS, 1, 11, 3);  // double-threat point only
  add(FIVE_POINTS, 1, 12, 3);           // other kinds do not count
  add(OPEN_FOUR_POINTS, 1, 12, 4);
  add(THREE_POINTS, 2, 13, 3);  // the other player's
  const int n = collect_plain_threat_points(position, list, 1);
  EXPECT_EQ(cells_of(list, n), "(2,1)(2,5)(4,4)");
  EXPECT_TRUE(untouched_from(n));
}

TEST_F(Collector, StarCountsFiveAndOpenFourPointsOfThe33Cells) {
  // Every cell of a 9 by 9 square around (10, 10) is a five point of black.
  for (int x = 6; x <= 14; ++x)
    for (int y = 6; y <= 14; ++y) add(x == y ? OPEN_FOUR_POINTS : FIVE_POINTS, 1, x, y);
  EXPECT_EQ(star_threat_count(position, 10, 10, 1), 33);
  EXPECT_EQ(star_threat_count(position, 10, 10, 2), 0);
  int32_t excluded[MAX_SIDE] = {};
  excluded[7] = 1 << 9 | 1 << 10;  // (7,10) is in the star, (7,9) is not
  EXPECT_EQ(star_count(position, 10, 10, 1, excluded), 32);
  // Near the corner the star loses its off-board rows and columns: around (0,0) only
  // rows 0..3 and columns 0..3 remain: (0,0..3), (1,0..2), (2,0..2), (3,0), (3,3).
  std::memset(&position.threat_sets, 0, sizeof position.threat_sets);
  for (int x = 0; x < 8; ++x)
    for (int y = 0; y < 8; ++y) add(FIVE_POINTS, 2, x, y);
  EXPECT_EQ(star_threat_count(position, 0, 0, 2), 12);
}

namespace {

struct Defence {
  const char* what;
  int rule, player;
  int x0, y0;
  const char* picture;  // 'X' the player's stones, 'O' the other's
  int x, y;             // the open-four point
  const char* cells;    // count, then the cells written
};

const Defence DEFENCES[] = {
    {"split three: its outer ends", 0, 1, 7, 4, ".X.XX.", 7, 6, "2:(7,9)(7,4)"},
    {"split three along the diagonal", 0, 2, 4, 4, "X/./..X/...X", 5, 5, "2:(8,8)(3,3)"},
    // The gap of a split three along the anti-diagonal, the end of a three along the
    // diagonal: the first direction with an open four decides.
    {"first direction", 0, 1, 3, 6, "...X/..X//X.X/...X/....X", 5, 7, "2:(2,10)(7,5)"},
    {"far side of the three closed", 0, 1, 7, 4, ".XXX.O", 7, 4, "2:(7,8)(7,3)"},
    {"stones before the point", 0, 1, 7, 3, "O.XXX..", 7, 8, "2:(7,4)(7,9)"},
    {"along the column", 0, 2, 3, 5, "O/./X/X/X/./.", 8, 5, "2:(4,5)(9,5)"},
    {"room on both sides", 0, 1, 7, 3, "..XXX..", 7, 4, "0:"},
    {"room on both sides, the other end", 0, 1, 7, 3, "..XXX..", 7, 8, "0:"},
    // The far end (7,8) also completes six along column 8: forbidden only for black
    // under Renju, where it then counts as no threat.
    {"far end forbidden", 2, 1, 4, 5, "...X/...X/...X/XXX./...X/...X", 7, 4, "2:(7,8)(7,3)"},
    {"far end an overline point under the standard rule", 1, 1, 4, 5, "...X/...X/...X/XXX./...X/...X", 7, 4,
     "0:"},
    {"far end a five point in free-style", 0, 1, 4, 5, "...X/...X/...X/XXX./...X/...X", 7, 4, "0:"},
    {"white's far end under Renju", 2, 2, 4, 5, "...X/...X/...X/XXX./...X/...X", 7, 4, "0:"},
};

}  // namespace

class CollectorDefencePoints : public EngineTest {};

TEST_F(CollectorDefencePoints, CellsThatAlsoStopTheOpenThree) {
  for (const Defence& d : DEFENCES) {
    new_board(d.rule);
    draw(d.x0, d.y0, d.picture, d.player);
    Candidate list[2] = {{5, -1, -1}, {6, -1, -1}};
    const int n = defence_points(position, list, d.player, d.x, d.y);
    EXPECT_EQ(std::to_string(n) + ":" + cells_of(list, n), d.cells) << d.what;
    EXPECT_EQ(list[0].score, 5) << d.what;
  }
}
