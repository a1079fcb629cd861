// The move decision and the balance searches, end to end through the protocol.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "protocol_fixture.h"

namespace zerin_test {
namespace {

using ProtocolDecision = EngineSession;

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool starts_with(const std::string& s, const std::string& head) { return s.rfind(head, 0) == 0; }

// Sends a BOARD-style block (stones alternate colours in the order given, black first).
void send_block(EngineSession& s, const char* command, const std::vector<std::string>& stones) {
  s.send(command);
  for (size_t i = 0; i < stones.size(); ++i) s.send(stones[i] + (i % 2 == 0 ? ",1" : ",2"));
  s.send("done");
}

TEST_F(ProtocolDecision, OpeningMoveIsTheCentreOrTheNearestFreeCell) {
  send_all({"START 15", "BEGIN"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  EXPECT_EQ(next_move(), "7,7");
  const auto greeted = [this] {
    EXPECT_EQ(reply(), GREETING);
    EXPECT_EQ(reply(), "OK");
  };
  send_all({"START 20", "BEGIN"});
  greeted();
  EXPECT_EQ(next_move(), "10,10");
  // Width 20, height 15: x below 15, y below 20.
  send_all({"RECTSTART 20,15", "BEGIN"});
  greeted();
  EXPECT_EQ(next_move(), "7,10");
  send_all({"START 15", "zrblock", "7,7", "done", "BEGIN"});
  greeted();
  EXPECT_EQ(next_move(), "6,7");
}

TEST_F(ProtocolDecision, FirstDecisionReportsAnEmptyBestLine) {
  SKIP_TIMING_UNDER_ENGINE_COMMAND();  // the report's time field reads 0ms
  send_all({"START 15", "BEGIN"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  std::vector<std::string> before;
  EXPECT_EQ(next_move(&before), "7,7");
  EXPECT_EQ(before, (Lines{"MESSAGE 0.0 | 0 | 0 | 0ms | 0.0 | 0 | 4 | 0 ", "MESSAGE "}));
}

TEST_F(ProtocolDecision, ForcedBlockAgainstTwoFivePointsAnswersAtOnceAndLoses) {
  SKIP_TIMING_UNDER_ENGINE_COMMAND();  // the report's time field reads 0ms
  start_quick_game();
  // A first search builds the position; taking both moves back keeps it built.
  send("TURN 0,14");
  const std::string reply_move = next_move();
  send_all({"TAKEBACK " + reply_move, "TAKEBACK 0,14"});
  EXPECT_EQ(lines_before_sync(), (Lines{"OK", "OK"}));
  // White has an open four on row 7; black, to move, has nothing.
  send_block(*this, "zrboard", {"0,0", "7,5", "0,2", "7,6", "0,4", "7,7", "14,14", "7,8"});
  send("BEGIN");
  std::vector<std::string> before;
  EXPECT_EQ(next_move(&before), "7,4");  // the first five point
  ASSERT_FALSE(before.empty());
  EXPECT_TRUE(ends_with(before[0], " | 0ms | 0.0 | 0 | 4 | -10000 :-(")) << before[0];
}

TEST_F(ProtocolDecision, CompletesItsOwnFive) {
  start_quick_game();
  send_block(*this, "BOARD", {"7,3", "0,0", "7,4", "0,2", "7,5", "0,4", "7,6", "14,14"});
  EXPECT_EQ(next_move(), "7,2");  // the first of black's two five points
}

TEST_F(ProtocolDecision, DetailedReportsNameTheBestLineAndBlockedCells) {
  // A depth cap rather than a time limit, so that a busy machine still reaches depth 5.
  send_all({"INFO show_detail 1", "INFO timeout_turn 60000", "INFO max_depth 6", "INFO hash_size 4096", "START 15",
            "zrblock", "0,0", "done"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  send("TURN 7,7");
  std::vector<std::string> before;
  ASSERT_TRUE(is_move(next_move(&before, SLOW_REPLY_TIMEOUT)));
  const size_t n = before.size();
  ASSERT_GE(n, 4u);
  EXPECT_TRUE(starts_with(before[n - 4], "MESSAGE Complexity: ")) << before[n - 4];
  EXPECT_TRUE(starts_with(before[n - 3], "MESSAGE Speed: ")) << before[n - 3];
  EXPECT_TRUE(starts_with(before[n - 2], "MESSAGE Bestline: [")) << before[n - 2];
  EXPECT_EQ(before[n - 1], "MESSAGE Block[15A] ");
  bool detail = false;
  for (const std::string& line : before) detail = detail || starts_with(line, "MESSAGE DETAIL DEPTH:5-");
  EXPECT_TRUE(detail);
}

TEST_F(ProtocolDecision, StopDuringTheFirstIterationStillAnswers) {
  send_all({"INFO max_node -1", "INFO hash_size 4096", "START 20", "TURN 10,10", "zrstop"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  EXPECT_TRUE(is_move(next_move()));
}

TEST_F(ProtocolDecision, RenjuBlackWithOnlyAForbiddenCellStillPlaysAFreeCell) {
  // 7 wide, 3 high, one cell free: black's overline point (0,2).
  send_all({"INFO rule 2", "INFO timeout_turn 200", "INFO hash_size 4096", "RECTSTART 7,3"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  send_block(*this, "BOARD",
             {"0,0", "0,6", "0,1", "1,0", "0,3", "1,1", "0,4", "1,3", "0,5", "1,4", "1,2", "1,6", "1,5", "2,0",
              "2,1", "2,2", "2,4", "2,3", "2,6", "2,5"});
  EXPECT_EQ(next_move(), "0,2");
}

TEST_F(ProtocolDecision, FullBoardRefusesTheMoveButNamesACellOfThisBoard) {
  // The first game leaves its decision at 7,7; the 1 by 1 board of the second is full
  // after the opponent's move, so nothing is left to play.
  send_all({"INFO max_node 1", "INFO hash_size 4096", "START 15", "BEGIN"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  EXPECT_EQ(next_move(), "7,7");
  send_all({"START 1", "TURN 0,0"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  const auto c = engine.read_until(is_move);
  ASSERT_TRUE(c.matched);
  ASSERT_GE(c.lines.size(), 2u);
  EXPECT_EQ(c.lines[c.lines.size() - 2], "ERROR my move [0,0]");
  EXPECT_EQ(c.lines.back(), "0,0");
}

void block_every_cell(EngineSession& s, int size) {
  s.send("zrblock");
  for (int x = 0; x < size; ++x)
    for (int y = 0; y < size; ++y) s.send(std::to_string(x) + "," + std::to_string(y));
  s.send("done");
}

// The lines up to the next move reply; that reply must be refused just before it.
std::string refused_move(EngineSession& s) {
  const EngineProcess::Collected c = s.engine.read_until(is_move);
  EXPECT_TRUE(c.matched);
  if (!c.matched || c.lines.size() < 2) return "<no refusal>";
  const std::string move = c.lines.back();
  EXPECT_EQ(c.lines[c.lines.size() - 2], "ERROR my move [" + move + "]");
  return move;
}

// Every empty cell blocked by zrblock: the decision refuses, naming one cell in both the
// error line and the reply, and records nothing.
TEST_F(ProtocolDecision, NothingFreeToPlayRefusesWithoutRecording) {
  send_all({"INFO timeout_turn 100", "INFO hash_size 4096", "START 15"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  block_every_cell(*this, 15);
  send("BEGIN");
  EXPECT_EQ(refused_move(*this), "7,7");
  send_all({"zrblockreset", "BEGIN"});
  EXPECT_EQ(next_move(), "7,7") << "still the empty board's first move";

  // The same once the position is built, in the middle of a game.
  send("TURN 0,0");
  const std::string own = next_move();
  block_every_cell(*this, 15);
  send("TURN 14,14");
  const std::string refused = refused_move(*this);
  send("zrblockreset");
  for (const std::string& cell : {std::string("14,14"), own, std::string("0,0"), std::string("7,7")})
    send("TAKEBACK " + cell);
  EXPECT_EQ(lines_before_sync(), (Lines{"OK", "OK", "OK", "OK"}));
  // Had the refused move been recorded, its stone would still be on the board.
  send("PLAY " + refused);
  EXPECT_EQ(lines_before_sync(), Lines{refused});
}

using ProtocolBalance = EngineSession;

TEST_F(ProtocolBalance, WithoutTimeOnlyTheFinalLineAtDepthZero) {
  send_all({"INFO timeout_turn 0", "INFO hash_size 4096", "START 15", "TURN 7,7", "zrbalanceone 5000"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  next_move();
  const std::string line = reply();
  EXPECT_TRUE(starts_with(line, "MESSAGE DETAIL (BALANCE) DEPTH:0-0 |VAL-2000|:")) << line;
}

TEST_F(ProtocolBalance, IterationLinesThenTheFinalLine) {
  send_all({"INFO timeout_turn 60000", "INFO max_depth 2", "INFO hash_size 4096", "START 15", "TURN 7,7"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  next_move();
  send("zrbalancetwo");
  EngineProcess::Collected c = engine.read_until(
      [](const std::string& l) { return starts_with(l, "MESSAGE DETAIL (BALANCE) "); }, SLOW_REPLY_TIMEOUT);
  ASSERT_TRUE(c.matched);
  ASSERT_GE(c.lines.size(), 2u);
  EXPECT_TRUE(starts_with(c.lines[0], "MESSAGE DETAIL DEPTH:1-")) << c.lines[0];
  EXPECT_NE(c.lines[0].find("|VAL+0|:"), std::string::npos) << c.lines[0];
  // Two moves, each as row number and column letter.
  EXPECT_TRUE(ends_with(c.lines.back(), "]")) << c.lines.back();
  EXPECT_EQ(std::count(c.lines.back().begin(), c.lines.back().end(), '['), 2);
  // No move is made: the same side is still to move, and a normal decision follows.
  send("BEGIN");
  EXPECT_TRUE(is_move(next_move()));
}

}  // namespace
}  // namespace zerin_test
