#include <gtest/gtest.h>

#include "protocol/command_loop.h"

using namespace zerin;

TEST(MatchCommand, PrefixIgnoringCaseAndSkippingBlanks) {
  EXPECT_STREQ(match_command("START", "start  15"), "15");
  EXPECT_STREQ(match_command("START", "STARTX 15"), "X 15");
  EXPECT_EQ(match_command("START", "STAR"), nullptr);
}
