// The Caro rule end to end through the protocol: a run of exactly five with an opponent's
// stone or the board's edge right past each end does not win, for either side.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol_fixture.h"

namespace zerin_test {
namespace {

using ProtocolCaro = EngineSession;

// A BOARD block of the engine's stones (own) and the opponent's (theirs), equally many,
// under the rule given, on a 15 x 15 board; returns the engine's move.
std::string decide(EngineSession& s, const std::string& rule, const std::vector<std::string>& own,
                   const std::vector<std::string>& theirs, Lines* before = nullptr) {
  EXPECT_EQ(own.size(), theirs.size());
  s.send_all({"INFO timeout_turn 200", "INFO hash_size 4096", "INFO rule " + rule, "START 15", "BOARD"});
  for (size_t i = 0; i < own.size(); ++i) s.send_all({own[i] + ",1", theirs[i] + ",2"});
  s.send("DONE");
  EXPECT_EQ(s.reply(), GREETING);
  EXPECT_EQ(s.reply(), "OK");
  return s.next_move(before);
}

const std::vector<std::string> CARO_RULES = {"8", "9"};

TEST_F(ProtocolCaro, RuleValuesWithTheCaroBitPlayCaro) {
  for (const char* rule : {"8", "9", "10", "11", "24", "25"}) {
    Lines before;
    decide(*this, rule, {"7,7"}, {"0,0"}, &before);
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(before.at(0), "MESSAGE Rule Caro") << rule;
  }
  // With the Renju bit too, it is Renju.
  Lines before;
  decide(*this, "12", {"7,7"}, {"0,0"}, &before);
  EXPECT_EQ(before.at(0), "MESSAGE Rule Renju");
}

TEST_F(ProtocolCaro, NoForbiddenPoints) {
  send("START 15");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  for (const char* rule : {"INFO rule 8", "INFO rule 9", "INFO rule 11"}) {
    send_all({rule, "zrshowforbid"});
    EXPECT_EQ(lines_before_sync(), Lines{}) << rule;
  }
}

// The engine has two fours: row 3's completes a five between two of the opponent's
// stones, row 10's a five with one end open. Only row 10's wins; free-style takes the
// first five point it finds, row 3's.
TEST_F(ProtocolCaro, OnlyTheFiveNotBlockedAtBothEndsWins) {
  const std::vector<std::string> own = {"3,3", "3,4", "3,5", "3,6", "10,3", "10,4", "10,5", "10,6"};
  const std::vector<std::string> theirs = {"3,2", "3,8", "10,2", "0,14", "14,14", "14,0", "0,9", "6,13"};
  for (const std::string& rule : CARO_RULES) EXPECT_EQ(decide(*this, rule, own, theirs), "10,7") << rule;
  EXPECT_EQ(decide(*this, "0", own, theirs), "3,7");
}

// The engine's only five is blocked at both ends, the opponent's four on row 10 is real:
// the engine must block it rather than play its five as a win.
TEST_F(ProtocolCaro, ABlockedFiveIsNoWinForTheEngine) {
  const std::vector<std::string> own = {"3,3", "3,4", "3,5", "3,6", "10,2", "14,7"};
  const std::vector<std::string> theirs = {"3,2", "3,8", "10,3", "10,4", "10,5", "10,6"};
  for (const std::string& rule : CARO_RULES) EXPECT_EQ(decide(*this, rule, own, theirs), "10,7") << rule;
  EXPECT_EQ(decide(*this, "0", own, theirs), "3,7");
}

// The opponent's four on row 5 completes only a five between two of the engine's stones:
// no threat, so the engine is free to play its own open three into an open four, where
// free-style forces it to block.
TEST_F(ProtocolCaro, TheOpponentsBlockedFiveNeedsNoBlock) {
  const std::vector<std::string> own = {"5,2", "5,8", "9,5", "9,6", "9,7"};
  const std::vector<std::string> theirs = {"5,3", "5,4", "5,5", "5,6", "14,14"};
  for (const std::string& rule : CARO_RULES) {
    const std::string move = decide(*this, rule, own, theirs);
    EXPECT_TRUE(move == "9,4" || move == "9,8") << rule << ": " << move;
  }
  EXPECT_EQ(decide(*this, "0", own, theirs), "5,7");
}

// The opponent's four on row 7 has the engine's stone at one end: the other end is the
// only completion, and the engine blocks it.
TEST_F(ProtocolCaro, BlocksTheOneOpenEndOfAFour) {
  const std::vector<std::string> own = {"7,2", "0,0", "14,0", "0,14"};
  const std::vector<std::string> theirs = {"7,3", "7,4", "7,5", "7,6"};
  for (const std::string& rule : CARO_RULES) EXPECT_EQ(decide(*this, rule, own, theirs), "7,7") << rule;
}

// The opponent's four (7,4)..(7,7) has both ends free, but the engine's stone lies past
// the left one, (7,3). Blocking the right end, (7,8), leaves (7,3) a five between two of
// the engine's stones: the one block that holds. Free-style blocks the first five point
// and has lost.
TEST_F(ProtocolCaro, StopsAFourWithBothEndsFreeByTheEndAwayFromItsStone) {
  const std::vector<std::string> own = {"7,2", "0,0", "14,0", "0,14"};
  const std::vector<std::string> theirs = {"7,4", "7,5", "7,6", "7,7"};
  for (const std::string& rule : CARO_RULES) {
    Lines before;
    EXPECT_EQ(decide(*this, rule, own, theirs, &before), "7,8") << rule;
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(before[0].find("-10000"), std::string::npos) << "not lost: " << before[0];
  }
  EXPECT_EQ(decide(*this, "0", own, theirs), "7,3");
}

// The board's edge blocks as a stone does: the opponent's four along the edge row's end,
// (0,0)..(0,3), completes at (0,4) a five with the edge past one end; with the engine's
// stone on (0,5) it is no threat and needs no block.
TEST_F(ProtocolCaro, TheEdgeBlocksAFive) {
  const std::vector<std::string> own = {"0,5", "9,5", "9,6", "9,7"};
  const std::vector<std::string> theirs = {"0,0", "0,1", "0,2", "0,3"};
  for (const std::string& rule : CARO_RULES) EXPECT_NE(decide(*this, rule, own, theirs), "0,4") << rule;
  EXPECT_EQ(decide(*this, "0", own, theirs), "0,4");
}

}  // namespace
}  // namespace zerin_test
