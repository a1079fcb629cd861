#include "control/helpers.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace zerin;

// The first helper takes the even depths and the second the odd ones; a helper that has
// fallen behind the search thread joins its iteration when that depth is its own, and
// otherwise goes one beyond it.
TEST(HelperDepths, FirstTwoHelpersSplitTheDepthsAndKeepUpWithTheSearchThread) {
  EXPECT_EQ(next_helper_depth(0, 1, 0), 2);
  EXPECT_EQ(next_helper_depth(0, 5, 1), 6);
  EXPECT_EQ(next_helper_depth(1, 1, 0), 1);
  EXPECT_EQ(next_helper_depth(1, 2, 0), 3);

  EXPECT_EQ(next_helper_depth(0, 3, 6), 6);  // joins iteration 6
  EXPECT_EQ(next_helper_depth(0, 3, 7), 8);  // 7 is not its own
  EXPECT_EQ(next_helper_depth(1, 4, 7), 7);
  EXPECT_EQ(next_helper_depth(1, 4, 8), 9);
  // Ahead of the search thread a helper goes on from where it is.
  EXPECT_EQ(next_helper_depth(0, 9, 7), 10);
}

// Whatever the helper and wherever the search thread is, the depth chosen is one the
// helper searches (a depth it skips is never chosen by the catch-up), never below the
// search thread's iteration, and the first such depth.
TEST(HelperDepths, ChosenDepthIsTheHelpersOwnAndNotBehind) {
  for (int helper = 0; helper < 24; ++helper) {
    for (int depth = 1; depth <= 40; ++depth) {
      for (int main_iteration = 0; main_iteration <= 40; ++main_iteration) {
        const int chosen = next_helper_depth(helper, depth, main_iteration);
        const int from = std::max(depth, main_iteration);
        ASSERT_GE(chosen, from) << helper << " " << depth << " " << main_iteration;
        ASSERT_EQ(next_helper_depth(helper, chosen, 0), chosen) << "helper " << helper << " skips " << chosen;
        for (int d = from; d < chosen; ++d)
          ASSERT_NE(next_helper_depth(helper, d, 0), d) << "helper " << helper << " passed over " << d;
      }
    }
  }
}
