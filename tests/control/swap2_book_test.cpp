// The Swap2 book: the reading of its text, the board's symmetries, the built-in book's
// openings, and the driver's use of it (proposals drawn from it, the fallback to the
// pair search, the answer to a book opening at three stones).
#include "control/swap2_book.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <tuple>

#include "control/game.h"
#include "control/swap2.h"
#include "support/engine_setup.h"

using namespace zerin;
using namespace zerin_test;

namespace {

bool same(MovePoint a, MovePoint b) { return a.x == b.x && a.y == b.y; }

TEST(Swap2BookText, ReadsOpeningsAndValuesAndRejectsWhatIsNoOpening) {
  static Swap2Book book;
  parse_swap2_book(
      "# a comment\n"
      "\n"
      "1 15 15 4,6 7,8 8,6 -22 14\r\n"
      "  0 20 15 0,0 14,19 7,10\n"
      "1 15 15 1,1 2,2 3,3 1 2 3 4 5\n"
      "1 15 15 15,1 2,2 3,3 0\n"   // off the board (x below the height)
      "1 20 15 1,19 2,2 1,19 0\n"  // a cell named twice
      "1 15 15 1,1 2,2\n"          // two cells
      "1 25 25 1,1 2,2 3,3\n"      // a board larger than any
      "hello\n"
      "2 7 7 0,0 6,6 3,3",  // no newline at the end
      book);
  ASSERT_EQ(book.count, 4);
  EXPECT_EQ(book.rejected, 5);
  const Swap2BookEntry& a = book.entries[0];
  EXPECT_EQ(std::make_tuple(a.rule, a.width, a.height), std::make_tuple(1, 15, 15));
  EXPECT_TRUE(same(a.cells[0], {4, 6}) && same(a.cells[1], {7, 8}) && same(a.cells[2], {8, 6}));
  ASSERT_EQ(a.value_count, 2);
  EXPECT_EQ(a.values[0], -22);
  EXPECT_EQ(a.values[1], 14);
  const Swap2BookEntry& b = book.entries[1];
  EXPECT_EQ(std::make_tuple(b.rule, b.width, b.height, b.value_count), std::make_tuple(0, 20, 15, 0));
  EXPECT_TRUE(same(b.cells[1], {14, 19}));
  EXPECT_EQ(book.entries[2].value_count, SWAP2_BOOK_VALUES);  // the fifth value is not kept
  EXPECT_EQ(book.entries[3].rule, 2);
  // Reading again replaces what the book held.
  parse_swap2_book("1 15 15 1,1 2,2 3,3\n", book);
  EXPECT_EQ(book.count, 1);
  EXPECT_EQ(book.rejected, 0);
}

TEST(Swap2BookSymmetry, ImagesStayOnTheBoardAndAreDistinct) {
  for (const auto& [width, height] : {std::make_pair(15, 15), std::make_pair(20, 15), std::make_pair(9, 13)}) {
    const int n = swap2_symmetry_count(width, height);
    EXPECT_EQ(n, width == height ? 8 : 4);
    // A cell on no axis and no diagonal has as many images as the board has symmetries.
    const MovePoint c = {1, 3};
    std::set<std::pair<int, int>> images;
    for (int s = 0; s < n; ++s) {
      const MovePoint m = swap2_symmetry(c, s, width, height);
      EXPECT_TRUE(m.x >= 0 && m.x < height && m.y >= 0 && m.y < width) << s;
      images.insert({m.x, m.y});
      // Each image of the whole board is a permutation of its cells.
      std::set<std::pair<int, int>> cells;
      for (int x = 0; x < height; ++x)
        for (int y = 0; y < width; ++y) {
          const MovePoint i = swap2_symmetry({x, y}, s, width, height);
          cells.insert({i.x, i.y});
        }
      EXPECT_EQ(cells.size(), static_cast<size_t>(width * height)) << s;
    }
    EXPECT_EQ(images.size(), static_cast<size_t>(n));
    EXPECT_TRUE(same(swap2_symmetry(c, 0, width, height), c));
  }
  // The centre of an odd square board is fixed by all of them.
  for (int s = 0; s < 8; ++s) EXPECT_TRUE(same(swap2_symmetry({7, 7}, s, 15, 15), {7, 7})) << s;
}

TEST(Swap2BookSymmetry, AnOpeningIsRecognisedInEveryImageAndEitherBlackOrder) {
  Swap2BookEntry e;
  e.rule = 1;
  e.width = e.height = 15;
  e.cells[0] = {4, 6};
  e.cells[1] = {7, 8};
  e.cells[2] = {8, 6};
  for (int s = 0; s < 8; ++s) {
    MovePoint stones[3];
    for (int i = 0; i < 3; ++i) stones[i] = swap2_symmetry(e.cells[i], s, 15, 15);
    EXPECT_TRUE(swap2_book_holds(e, stones)) << s;
    std::swap(stones[0], stones[2]);
    EXPECT_TRUE(swap2_book_holds(e, stones)) << s;
    // White's stone in a black stone's place is another opening.
    std::swap(stones[0], stones[1]);
    EXPECT_FALSE(swap2_book_holds(e, stones)) << s;
  }
  const MovePoint moved[3] = {{4, 6}, {7, 9}, {8, 6}};
  EXPECT_FALSE(swap2_book_holds(e, moved));
}

// The book built into the program: read without a rejected line (so three distinct cells
// on the board); for the rule and board Swap2 is played on (exactly five, 15 by 15),
// openings near the centre that the longer searches found even, none of them below 0 for
// white on average, no two of them the same opening in another image.
TEST(Swap2BookBuiltin, OpeningsAreLegalDistinctNearTheCentreAndEven) {
  const Swap2Book& book = builtin_swap2_book();
  EXPECT_EQ(book.rejected, 0);
  int standard = 0;
  for (int i = 0; i < book.count; ++i) {
    const Swap2BookEntry& e = book.entries[i];
    const int cx = e.height / 2, cy = e.width / 2;
    for (const MovePoint& c : e.cells) {
      EXPECT_LE(std::abs(c.x - cx), 3) << i;
      EXPECT_LE(std::abs(c.y - cy), 3) << i;
    }
    EXPECT_GE(e.value_count, 2) << i;
    int sum = 0;
    for (int k = 0; k < e.value_count; ++k) {
      EXPECT_LE(std::abs(e.values[k]), 30) << i;
      sum += e.values[k];
    }
    // None below 0 on average: in self-play such openings went to black, and the engine
    // answering them would take black and win with it.
    EXPECT_GE(sum, 0) << i;
    for (int j = 0; j < i; ++j) {
      const Swap2BookEntry& other = book.entries[j];
      if (other.rule == e.rule && other.width == e.width && other.height == e.height) {
        EXPECT_FALSE(swap2_book_holds(other, e.cells)) << i << " repeats " << j;
      }
    }
    standard += e.rule == RULE_STANDARD && e.width == 15 && e.height == 15;
  }
  EXPECT_GE(standard, 32);
}

class Swap2BookDriver : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    new_board(RULE_STANDARD);
    game.built = 1;
    settings.hash_size = TEST_HASH_BUCKETS;
    settings.max_node = 8;  // a few thousand nodes per search: quick, and the same every run
  }
  void TearDown() override {
    swap2_memory = Swap2Memory{};
    EngineTest::TearDown();
  }

  // decide_swap2 on these stones; its output lines.
  std::string decide(std::initializer_list<MovePoint> stones) {
    swap2_stones.count = 0;
    for (const MovePoint& m : stones) swap2_stones.cells[swap2_stones.count++] = m;
    ::testing::internal::CaptureStdout();
    decide_swap2(worker);
    return ::testing::internal::GetCapturedStdout();
  }

  static std::string last_line(const std::string& text) {
    const size_t end = text.size() - 1;
    const size_t start = text.rfind('\n', end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1));
  }

  // The three cells of a proposal line.
  static bool cells_of(const std::string& line, MovePoint* cells) {
    return std::sscanf(line.c_str(), "%d,%d %d,%d %d,%d", &cells[0].x, &cells[0].y, &cells[1].x, &cells[1].y,
                       &cells[2].x, &cells[2].y) == 6;
  }

  // The index of the built-in book's entry that the three cells are an image of; -1 if none.
  static int book_index(const MovePoint* cells, int rule = RULE_STANDARD, int size = 15) {
    const Swap2Book& book = builtin_swap2_book();
    for (int i = 0; i < book.count; ++i) {
      const Swap2BookEntry& e = book.entries[i];
      if (e.rule == rule && e.width == size && e.height == size && swap2_book_holds(e, cells)) return i;
    }
    return -1;
  }
};

// Proposals under exactly five on 15 by 15 come from the book, varied from one opening
// number to the next and by the seed (entries and images), and repeated for the same
// seed and opening number; no search runs for them.
TEST_F(Swap2BookDriver, ProposalsComeFromTheBookAndVary) {
  std::set<std::string> proposals;
  std::set<int> entries;
  std::string first_of_seed[2];
  for (int seed : {0, 5}) {
    settings.swap2_seed = seed;
    swap2_memory = Swap2Memory{};
    for (int opening = 0; opening < 12; ++opening) {
      const std::string text = decide({});
      const std::string answer = last_line(text);
      MovePoint cells[3];
      ASSERT_TRUE(cells_of(answer, cells)) << text;
      const int index = book_index(cells);
      EXPECT_GE(index, 0) << answer;
      char expected[64];
      std::snprintf(expected, sizeof expected, "MESSAGE SWAP2 BOOK ENTRY:%d VAL:", index);
      EXPECT_NE(text.find(expected), std::string::npos) << text;
      EXPECT_EQ(text.find("SWAP2 PAIR"), std::string::npos) << text;
      EXPECT_EQ(worker.node_count, 0) << text;
      EXPECT_EQ(game.count, 0);
      proposals.insert(answer);
      entries.insert(index);
      if (opening == 0) first_of_seed[seed == 0 ? 0 : 1] = answer;
    }
  }
  EXPECT_GE(proposals.size(), 20u);
  EXPECT_GE(entries.size(), 12u);
  EXPECT_NE(first_of_seed[0], first_of_seed[1]);
  // The same seed and opening number give the same proposal.
  settings.swap2_seed = 5;
  swap2_memory = Swap2Memory{};
  EXPECT_EQ(last_line(decide({})), first_of_seed[1]);
}

// A board or rule the book has nothing for, the book turned off, or the book's cells all
// blocked: the pair search proposes, black next to the centre.
TEST_F(Swap2BookDriver, WithoutABookOpeningThePairSearchProposes) {
  auto expect_pair_search = [&](const char* what) {
    settings.max_node = 8;  // new_board lifts the budget: the search would run for the whole move
    const std::string text = decide({});
    EXPECT_NE(text.find("MESSAGE SWAP2 PAIR"), std::string::npos) << what << ": " << text;
    EXPECT_EQ(text.find("SWAP2 BOOK"), std::string::npos) << what << ": " << text;
    MovePoint cells[3];
    ASSERT_TRUE(cells_of(last_line(text), cells)) << what << ": " << text;
    EXPECT_LE(std::abs(cells[0].x - game.height / 2), 1) << what;
    EXPECT_LE(std::abs(cells[0].y - game.width / 2), 1) << what;
  };
  new_board(RULE_FREESTYLE);
  expect_pair_search("free-style");
  new_board(RULE_RENJU);
  expect_pair_search("Renju");
  new_board(RULE_STANDARD, 20, 20);
  expect_pair_search("20 by 20");
  new_board(RULE_STANDARD);
  settings.swap2_book = 0;
  expect_pair_search("book off");
  settings.swap2_book = 1;
  // Every cell of the book's square blocked but the centre's neighbours.
  for (int x = 4; x <= 10; ++x)
    for (int y = 4; y <= 10; ++y) block_grid.cells[x][y] = std::abs(x - 7) > 1 || std::abs(y - 7) > 1;
  expect_pair_search("blocked");
}

// Blocked cells are never proposed: entries with a blocked cell in the drawn image are
// passed over.
TEST_F(Swap2BookDriver, ProposalsAvoidBlockedCells) {
  for (int x = 6; x <= 8; ++x)
    for (int y = 4; y <= 10; ++y) block_grid.cells[x][y] = 1;
  int from_book = 0;
  for (int opening = 0; opening < 8; ++opening) {
    const std::string text = decide({});
    MovePoint cells[3];
    ASSERT_TRUE(cells_of(last_line(text), cells)) << text;
    for (const MovePoint& c : cells) EXPECT_FALSE(block_grid.blocked(c.x, c.y)) << text;
    from_book += text.find("SWAP2 BOOK") != std::string::npos;
  }
  EXPECT_GT(from_book, 0);
}

// At three stones a book opening is answered by the book's value, not with two more
// stones, in whichever image and black order it comes; with the book off the usual band
// decides (a margin wider than any value makes it a pair).
TEST_F(Swap2BookDriver, ABookOpeningAtThreeStonesTakesAColour) {
  settings.swap2_margin = 1000000;
  const Swap2Book& book = builtin_swap2_book();
  int checked = 0;
  for (int i = 0; i < book.count && checked < 4; ++i) {
    const Swap2BookEntry& e = book.entries[i];
    if (e.rule != RULE_STANDARD || e.width != 15 || e.height != 15) continue;
    ++checked;
    const int s = checked % 8;
    const MovePoint b1 = swap2_symmetry(e.cells[2], s, 15, 15), w = swap2_symmetry(e.cells[1], s, 15, 15),
                    b2 = swap2_symmetry(e.cells[0], s, 15, 15);
    int sum = 0;
    for (int k = 0; k < e.value_count; ++k) sum += e.values[k];
    const std::string text = decide({b1, w, b2});
    EXPECT_NE(text.find("MESSAGE SWAP2 BOOK ENTRY:" + std::to_string(i) + " VAL:"), std::string::npos) << text;
    const std::string answer = last_line(text);
    if (sum < 0) {
      EXPECT_EQ(answer, "SWAP") << text;
    } else {
      int x, y;
      ASSERT_EQ(std::sscanf(answer.c_str(), "%d,%d", &x, &y), 2) << text;
      EXPECT_EQ(answer.find(' '), std::string::npos) << text;
      for (const MovePoint& c : {b1, w, b2}) EXPECT_FALSE(c.x == x && c.y == y) << text;
    }
    settings.swap2_book = 0;
    const std::string without = decide({b1, w, b2});
    EXPECT_EQ(without.find("SWAP2 BOOK"), std::string::npos) << without;
    MovePoint pair[2];
    EXPECT_EQ(std::sscanf(last_line(without).c_str(), "%d,%d %d,%d", &pair[0].x, &pair[0].y, &pair[1].x, &pair[1].y),
              4)
        << without;
    settings.swap2_book = 1;
  }
  EXPECT_EQ(checked, 4);
}

TEST(Swap2BookAnswer, TheMeanOfTheBooksValuesDecidesUnlessTheSearchFoundTheGameDecided) {
  Swap2BookEntry e;
  e.value_count = 2;
  e.values[0] = -1;
  e.values[1] = 0;  // a mean of -0.5: below 0
  EXPECT_EQ(answer_by_book(e, 500), SWAP2_TAKE_BLACK);
  EXPECT_EQ(answer_by_book(e, WIN_VALUE), SWAP2_STAY_WHITE);
  e.values[0] = 1;
  EXPECT_EQ(answer_by_book(e, -500), SWAP2_STAY_WHITE);
  EXPECT_EQ(answer_by_book(e, -WIN_VALUE), SWAP2_TAKE_BLACK);
  e.values[0] = 0;
  EXPECT_EQ(answer_by_book(e, 0), SWAP2_STAY_WHITE);  // even: white stays, as at five stones
}

}  // namespace
