#include "threats/forbidden.h"

#include <gtest/gtest.h>

#include <string>

#include "support/engine_setup.h"

using namespace zerin;
using namespace zerin_test;

namespace {

struct Shape {
  const char* what;
  int width, height;  // of the board
  int x0, y0;         // where the picture starts
  const char* picture;
  int x, y;  // the cell tested
  int forbidden;
};

const Shape SHAPES[] = {
    {"overline", 15, 15, 7, 1, "XXX.XX", 7, 4, 1},
    {"overline and a three", 15, 15, 7, 1, "XXX.XX/...X/...X", 7, 4, 1},
    {"overline, then an exact five", 15, 15, 3, 1, "...X/...X/...X/...X/XXX.XX", 7, 4, 0},
    {"exact five, then an overline", 15, 15, 3, 0, "....X/....X/....X/....X/XXXX./....X/....X", 7, 4, 0},
    // A stone between two groups of three, one empty cell on each side.
    {"double four XXX.?.XXX", 15, 15, 7, 2, "XXX...XXX", 7, 6, 1},
    {"double four X.X?X.X", 15, 15, 7, 3, "X.X.X.X", 7, 6, 1},
    {"double four XX.?X.XX (column)", 15, 15, 3, 7, "X/X/././X/./X/X", 6, 7, 1},
    // Both ends look like fours beforehand; with the stone only one completes a five.
    {"single four XXX.?..XXX", 15, 15, 7, 0, "XXX....XXX", 7, 4, 0},
    {"closed fours across", 15, 15, 4, 2, "....X/....X/....X/OXXX./....O", 7, 6, 1},
    {"straight four and closed four", 15, 15, 7, 0, "...XXX/.....X/....X/...X/..O", 7, 6, 1},
    {"double three", 15, 15, 5, 5, "..X/..X/XX.", 7, 7, 1},
    {"diagonal and split three", 15, 15, 5, 5, "X/.X/....XX", 7, 7, 1},
    {"four-three", 15, 15, 5, 2, "....X/....X/OXXX.", 7, 6, 0},
    {"straight four", 15, 15, 7, 3, "XXX", 7, 6, 0},
    // The ends of a straight four count as one four.
    {"straight four and three", 15, 15, 7, 3, "XXX/...X/...X", 7, 6, 0},
    {"four-three-three", 15, 15, 5, 3, ".....X/....X/XXX/...X/...X", 7, 6, 1},
    // Along the row X..XX?..X: each straight-four cell would also join a far stone.
    {"three that only makes six", 15, 15, 5, 0, ".....X/.....X/X..XX...X", 7, 5, 0},
    {"the same three without far stones", 15, 15, 5, 0, ".....X/.....X/...XX", 7, 5, 1},
    // (7,7) makes a row three and a column three; five stones on column 4 and on column
    // 8 make the row three's straight-four cells (7,4) and (7,8) overline points.
    {"three whose straight-four cells are forbidden", 15, 15, 4, 4,
     "X...X/X...X/X...X/.XX../X..XX/X..XX", 7, 7, 0},
    {"one of them forbidden", 15, 15, 4, 4, "X/X/X/.XX/X..X/X..X", 7, 7, 1},
    {"the other one forbidden", 15, 15, 4, 4, "....X/....X/....X/.XX../...XX/...XX", 7, 7, 1},
    {"straight-four cell that is an overline point", 15, 15, 4, 4, "X...X/X...X/X...X/.XX../X..XX/X..XX", 7,
     8, 1},
    {"20x20, up to the last column", 20, 20, 19, 11, "XXX...XXX", 19, 15, 1},
    {"four against the edge and a three", 20, 20, 0, 3, "XX/..X/..X/..X", 0, 5, 0},
    {"four against the edge and a straight four", 20, 20, 0, 2, "XXX/...X/...X/...X", 0, 5, 1},
    {"12 wide, 8 high: double three", 12, 8, 4, 8, "..X/..X/XX.", 6, 10, 1},
    {"12 wide, 8 high: column three stopped by the edge", 12, 8, 5, 7, "...X/...X/.XX.", 7, 10, 0},
};

std::string forbidden_cells() {
  std::string cells;
  for (int x = 0; x < position.height; ++x)
    for (int y = 0; y < position.width; ++y)
      if (is_forbidden(position, x, y)) cells += "(" + std::to_string(x) + "," + std::to_string(y) + ")";
  return cells;
}

class Forbidden : public EngineTest {};

}  // namespace

TEST_F(Forbidden, TextbookShapes) {
  for (const Shape& s : SHAPES) {
    new_board(2, s.width, s.height);
    draw(s.x0, s.y0, s.picture);
    const Snapshot before;
    EXPECT_EQ(is_forbidden(position, s.x, s.y), s.forbidden) << s.what;
    EXPECT_TRUE(before.unchanged()) << s.what;
  }
}

TEST_F(Forbidden, OnlyThePointsThemselvesAreReported) {
  new_board(2);
  draw(7, 2, "XXX...XXX");
  EXPECT_EQ(forbidden_cells(), "(7,6)");
  new_board(2, 20, 20);
  draw(19, 11, "XXX...XXX");
  EXPECT_EQ(forbidden_cells(), "(19,15)");
  new_board(2, 12, 8);
  draw(5, 7, "...X/...X/.XX.");
  EXPECT_EQ(forbidden_cells(), "");
}

TEST_F(Forbidden, OccupiedCellsNeverAndThePositionIsRestored) {
  // A ring on a 6 by 6 board: every three point of black is a double three.
  new_board(2, 6, 6);
  draw(1, 1, ".XX./X..X/X..X/.XX.");
  const Snapshot ring;
  EXPECT_EQ(forbidden_cells(), "(1,1)(1,4)(2,2)(2,3)(3,2)(3,3)(4,1)(4,4)");
  EXPECT_TRUE(ring.unchanged());
  // White stones on the forbidden cells of an overline and a double four.
  new_board(2);
  draw(1, 8, "XXX.XX");
  draw(4, 2, "....X/....X/....X/OXXX./....O");
  EXPECT_EQ(forbidden_cells(), "(1,11)(7,6)");
  place_stone(position, 1, 11, 2);
  place_stone(position, 7, 6, 2);
  EXPECT_EQ(forbidden_cells(), "");
}
