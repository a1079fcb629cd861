#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "board/patterns.h"
#include "support/engine_setup.h"

using namespace zerin;
using namespace zerin_test;

namespace {

// Window from 9 characters, position 0 first: '.' or '_' empty, 'x' player 1,
// 'o' player 2, '#' blocked.
int window_of(const std::string& s) {
  int w = 0;
  for (int i = 0; i < 9; ++i) {
    const int c = s[i] == 'x' ? 1 : s[i] == 'o' ? 2 : s[i] == '#' ? 3 : 0;
    w |= c << (2 * i);
  }
  return w;
}

int mirror_window(int w) {
  int m = 0;
  for (int i = 0; i < 9; ++i) m |= ((w >> (2 * i)) & 3) << (2 * (8 - i));
  return m;
}

int swap_colours(int w) {
  int s = 0;
  for (int i = 0; i < 9; ++i) {
    const int c = (w >> (2 * i)) & 3;
    s |= (c == 1 || c == 2 ? c ^ 3 : c) << (2 * i);
  }
  return s;
}

int reverse5(int m) {
  int r = 0;
  for (int j = 0; j < 5; ++j)
    if (m >> j & 1) r |= 1 << (4 - j);
  return r;
}

// The tables a test builds for another rule are rebuilt by the next test's set-up.
class PatternTest : public EngineTest {
 protected:
  PatternEntry classify(int rule, const std::string& s) { return classify_window(window_of(s), rule); }
  int combo(int player, int a, int b, int c, int d) { return combo_table[player - 1][a][b][c][d]; }
};

}  // namespace

// A transcription slip in the segment table rarely survives these three properties:
// mirroring a segment swaps its sides, blocking an end never helps, and the code class
// follows from how many own stones the segment holds besides the centre.
TEST(PatternSegmentTable, MirrorMonotoneAndClassedByStoneCount) {
  for (int f = 0; f < 4; ++f)
    for (int m = 0; m < 32; ++m)
      for (int k = 0; k < 5; ++k) {
        const int code = shape_code_table[f][m][k];
        const int swapped = ((f & 1) << 1) | (f >> 1);
        EXPECT_EQ(code, shape_code_table[swapped][reverse5(m)][4 - k]) << f << " " << m << " " << k;
        for (int g = f; g < 4; ++g) {
          if ((g | f) == g) {
            EXPECT_LE(shape_code_table[g][m][k], code) << g << " " << m << " " << k;
          }
        }
        if (m >> (4 - k) & 1) {
          EXPECT_EQ(code, 0);
          continue;
        }
        const int lo[5] = {0, 1, 6, 9, 12}, hi[5] = {0, 5, 8, 11, 12};
        const int stones = __builtin_popcount(m);
        if (stones >= 1 && stones <= 4) {
          EXPECT_GE(code, lo[stones]) << f << " " << m << " " << k;
          EXPECT_LE(code, hi[stones]) << f << " " << m << " " << k;
        }
      }
}

TEST_F(PatternTest, HandWorkedWindowsForEveryShapeClass) {
  const struct { const char* w; int code; } cases[] = {
      {"x..._....", 1},  {"..ox_....", 2},  {".x.._....", 3},  {"..x._....", 4},
      {"...x_....", 5},  {".oxx_....", 6},  {"..x._x...", 7},  {"..xx_....", 8},
      {"oxxx_....", 9},  {"..xx_.x..", 10}, {".xxx_....", 11}, {"xxxx_....", 12},
      {"...._xxxx", 12}, {"#xxx_o...", 0},  {"....x....", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(classify(0, c.w).code[0], c.code) << c.w;
}

TEST_F(PatternTest, WorkedExampleEmptyAndOccupiedWindows) {
  const PatternEntry open_three = classify(0, "..xx_....");
  EXPECT_EQ(open_three.code[0], 8);
  EXPECT_EQ(open_three.code[1], 0);
  EXPECT_EQ(open_three.room[0], 8);
  EXPECT_EQ(open_three.room[1], 4);  // player 2's walk stops at the stone on position 3

  const PatternEntry empty = classify(0, "...._....");
  EXPECT_EQ(empty.code[0], 0);
  EXPECT_EQ(empty.code[1], 0);
  EXPECT_EQ(empty.room[0], 8);
  EXPECT_EQ(empty.room[1], 8);

  for (const char* s : {"..xxx....", "..xxo.o..", "....#...."}) {
    const PatternEntry e = classify(1, s);
    EXPECT_EQ(e.code[0] | e.code[1] | e.room[0] | e.room[1], 0) << s;
  }
}

// The bookkeeping skips the table for a stone's cell whose codes are 0, trusting that
// every window centred on a stone or a blocked cell reads 0 under every rule.
TEST_F(PatternTest, EveryWindowCentredOnAStoneReadsZero) {
  for (const int rule : {RULE_FREESTYLE, RULE_STANDARD, RULE_RENJU, RULE_CARO, RULE_CARO_EXACT}) {
    build_pattern_tables(rule);
    int nonzero = 0;
    for (int w = 0; w < WINDOW_COUNT; ++w)
      if (stone_centred(static_cast<uint64_t>(w)) && packed_patterns[w] != 0) ++nonzero;
    EXPECT_EQ(nonzero, 0) << "rule " << rule;
  }
}

TEST_F(PatternTest, MixedOrBlockedSegmentsContributeNothing) {
  // The open three of "..xx_...." shrinks to the lone segment 0..4 once position 5 is
  // taken; the opponent only sees the segment 4..8.
  const PatternEntry mixed = classify(0, "..xx_o...");
  EXPECT_EQ(mixed.code[0], 6);
  EXPECT_EQ(mixed.code[1], 1);
  const PatternEntry blocked = classify(0, "..xx_#...");
  EXPECT_EQ(blocked.code[0], 6);
  EXPECT_EQ(blocked.code[1], 0);
  EXPECT_EQ(blocked.room[1], 0);
  EXPECT_EQ(classify(0, ".xx#_#xx.").code[0], 0);
}

TEST_F(PatternTest, OverlineDependsOnRuleAndPlayer) {
  // Own stones on 0..3 and 5: a stone on the centre makes six.
  const struct { int rule; int x_code; int o_code; } cases[] = {{0, 12, 12}, {1, 13, 13}, {2, 13, 12}};
  for (const auto& c : cases) {
    EXPECT_EQ(classify(c.rule, "xxxx_x...").code[0], c.x_code) << c.rule;
    EXPECT_EQ(classify(c.rule, "oooo_o...").code[1], c.o_code) << c.rule;
    // A five at the window's edge is left for the board check to judge.
    EXPECT_EQ(classify(c.rule, "...._xxxx").code[0], 12) << c.rule;
    EXPECT_EQ(classify(c.rule, "o.xx_xx.o").code[0], 12) << c.rule;
  }
}

// Exhaustive: the mirror image of a window gives the same entry under every rule, and
// swapping the colours swaps the players' fields except for Renju's one-sided overline.
TEST_F(PatternTest, MirrorAndColourSymmetryOverAllWindows) {
  for (int rule = 0; rule <= 2; ++rule) {
    for (int w = 0; w < WINDOW_COUNT; ++w) {
      const PatternEntry e = classify_window(w, rule);
      const PatternEntry m = classify_window(mirror_window(w), rule);
      const PatternEntry s = classify_window(swap_colours(w), rule);
      ASSERT_TRUE(e.code[0] == m.code[0] && e.code[1] == m.code[1] && e.room[0] == m.room[0] &&
                  e.room[1] == m.room[1])
          << rule << " " << w;
      const int expected_swapped = rule == 2 && e.code[0] == 13 ? 12 : e.code[0];
      ASSERT_EQ(s.code[1], expected_swapped) << rule << " " << w;
      ASSERT_EQ(s.room[1], e.room[0]) << rule << " " << w;
    }
  }
}

TEST_F(PatternTest, BuildIsFastAndFollowsTheRule) {
  const auto start = std::chrono::steady_clock::now();
  build_pattern_tables(RULE_STANDARD);
  const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("pattern table build: %.1f ms\n", ms);
  EXPECT_LT(ms, 200.0);
  EXPECT_EQ(pattern_table[window_of("xxxx_x...")].code[0], 13);
  EXPECT_EQ(pattern_table[window_of("..xx_....")].code[0], 8);
  EXPECT_EQ(pattern_table[0].room[1], 8);

  build_pattern_tables(RULE_FREESTYLE);
  EXPECT_EQ(pattern_table[window_of("xxxx_x...")].code[0], 12);
}

TEST_F(PatternTest, ComboGeneralRuleTellingValues) {
  const struct { int c1, c2, value; } cases[] = {
      {12, 12, -1179}, {12, 11, -1563}, {11, 11, -219}, {11, 8, -357}, {9, 8, -181},
      {8, 8, -110},    {12, 0, -1944},  {11, 0, -410},  {3, 3, -1},    {0, 0, 0},
  };
  for (int rule = 0; rule <= 2; ++rule) {
    build_pattern_tables(rule);
    const int first = rule == 2 ? 2 : 1;  // Renju's first player has its own table
    for (int player = first; player <= 2; ++player) {
      for (const auto& c : cases) EXPECT_EQ(combo(player, c.c1, c.c2, 0, 0), c.value) << c.c1 << "," << c.c2;
      EXPECT_EQ(combo(player, 12, 12, 1, 0), -1947);
      EXPECT_EQ(combo(player, 8, 0, 8, 8), -125);
      EXPECT_EQ(combo(player, 9, 9, 0, 0), -181);
    }
  }
}

TEST_F(PatternTest, ComboRenjuFirstPlayer) {
  build_pattern_tables(RULE_RENJU);
  const struct { int c[4]; int value; } cases[] = {
      {{13, 12, 0, 0}, 0},       {{13, 11, 11, 0}, -510},  {{13, 8, 5, 0}, -185},
      {{9, 9, 0, 0}, -384},      {{11, 9, 0, 0}, -447},    {{10, 9, 3, 0}, -390},
      {{12, 9, 9, 0}, -1947},    {{8, 7, 0, 0}, -283},     {{8, 8, 2, 1}, -283},
      {{9, 8, 7, 0}, -589},      {{12, 12, 0, 0}, -1179},  {{8, 0, 0, 0}, -125},
  };
  for (const auto& c : cases)
    EXPECT_EQ(combo(1, c.c[0], c.c[1], c.c[2], c.c[3]), c.value)
        << c.c[0] << "," << c.c[1] << "," << c.c[2] << "," << c.c[3];
}

TEST_F(PatternTest, ComboEveryOrderingReadsTheSameValue) {
  for (int rule = 0; rule <= 2; ++rule) {
    build_pattern_tables(rule);
    EXPECT_EQ(combo(1, 12, 12, 0, 0), combo(1, 12, 0, 12, 0));
    EXPECT_EQ(combo(1, 12, 12, 0, 0), combo(1, 0, 0, 12, 12));
    for (int p = 1; p <= 2; ++p)
      for (int i = 0; i < 1 << 16; ++i) {
        int c[4] = {i & 15, i >> 4 & 15, i >> 8 & 15, i >> 12};
        const int value = combo(p, c[0], c[1], c[2], c[3]);
        std::sort(c, c + 4, [](int a, int b) { return a > b; });
        ASSERT_EQ(value, combo(p, c[0], c[1], c[2], c[3])) << rule << " " << p << " " << i;
      }
  }
}
