// Board size, moves, position blocks, take-backs and the rule: the game record as the
// controller builds it through the protocol.
#include <iterator>
#include <set>
#include <string>

#include "protocol/protocol_fixture.h"

namespace zerin_test {
namespace {

// Sends PLAY lines for cells and expects each echoed: checks that they are on the board.
void expect_on_board(EngineSession& s, std::initializer_list<const char*> cells) {
  for (const char* cell : cells) {
    EXPECT_TRUE(s.engine.send(std::string("PLAY ") + cell));
    EXPECT_EQ(s.engine.read_line().value_or("<no reply>"), cell);
  }
}

void expect_off_board(EngineSession& s, std::initializer_list<const char*> cells) {
  for (const char* cell : cells) {
    EXPECT_TRUE(s.engine.send(std::string("PLAY ") + cell));
    EXPECT_EQ(s.engine.read_line().value_or("<no reply>"), "ERROR bad coordinates") << cell;
  }
}

using ProtocolBoardSize = EngineSession;

TEST_F(ProtocolBoardSize, StartTakesOneOrTwoNumbers) {
  // Width is the first number and bounds y; height the second and bounds x.
  send("START 20 15");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  expect_on_board(*this, {"14,19", "0,19"});
  expect_off_board(*this, {"15,0", "0,20"});
  // No number: the size stays, and there is one greeting.
  send("START");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  expect_on_board(*this, {"14,19"});
  expect_off_board(*this, {"15,19"});
  // "20,15" is read as one number only.
  send("START 20,15");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  expect_on_board(*this, {"19,19"});
}

TEST_F(ProtocolBoardSize, StartWithoutAnySizeGreetsForDefaultAndForItself) {
  send("START");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK", GREETING, "OK"}));
  expect_on_board(*this, {"19,19"});
  expect_off_board(*this, {"20,19"});
}

TEST_F(ProtocolBoardSize, RectStartNeedsTwoNumbers) {
  // Refused before any size is set: no default board, no greeting.
  for (const char* bad : {"RECTSTART 20", "RECTSTART", "RECTSTART 20 15", "RECTSTART x,15"}) {
    send(bad);
    EXPECT_EQ(lines_before_sync(), Lines{"ERROR bad RECTSTART parameters"}) << bad;
  }
  for (const char* good : {"RECTSTART 20 ,15", "RECTSTART 20,15", "rectstart 20 , 15"}) {
    send(good);
    EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"})) << good;
  }
  expect_on_board(*this, {"14,19"});
  expect_off_board(*this, {"15,0", "0,20"});
  // A refused RECTSTART leaves the size and the record alone.
  send("RECTSTART 10");
  EXPECT_EQ(reply(), "ERROR bad RECTSTART parameters");
  expect_on_board(*this, {"14,18"});
  send("TAKEBACK 14,18");
  EXPECT_EQ(reply(), "OK");
}

TEST_F(ProtocolBoardSize, SizeErrorsKeepTheSizeAndTheRecord) {
  send("START 15");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  expect_on_board(*this, {"7,7"});
  for (const char* bad : {"START 25", "START 15 25", "START 25 15", "START 0", "START -3",
                          "START 10 0", "START 0 0", "RECTSTART 0,10", "RECTSTART 25,10",
                          "RECTSTART 10,-1", "START 2147483647", "START -2147483648"}) {
    send(bad);
    EXPECT_EQ(lines_before_sync(), Lines{"ERROR size of the board"}) << bad;
  }
  expect_on_board(*this, {"14,14"});
  expect_off_board(*this, {"15,15", "0,15"});
  // Both moves are still recorded: two take-backs succeed, the third finds none.
  send_all({"TAKEBACK 14,14", "TAKEBACK 7,7", "TAKEBACK 7,7"});
  EXPECT_EQ(reply(), "OK");
  EXPECT_EQ(reply(), "OK");
  EXPECT_EQ(reply(), "ERROR bad coordinates");
}

TEST_F(ProtocolBoardSize, SizeErrorBeforeAnySizeLeavesTheDefaultToCome) {
  for (const char* bad : {"START 0", "START 25", "RECTSTART 0,0", "RECTSTART 30,4"}) {
    send(bad);
    EXPECT_EQ(lines_before_sync(), Lines{"ERROR size of the board"}) << bad;
  }
  send("PLAY 19,19");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK", "19,19"}));
}

TEST_F(ProtocolBoardSize, LargestBoard) {
  send("START 24");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  expect_on_board(*this, {"23,23", "0,23", "23,0"});
  expect_off_board(*this, {"24,0"});
}

using ProtocolMoves = EngineSession;

TEST_F(ProtocolMoves, MalformedOrOffBoardCoordinates) {
  start_quick_game();
  const char* bad[] = {"TURN 7 7",  "TURN 7 ,8",   "TURN 7",      "TURN",       "TURN 15,0",
                       "TURN -1,3", "TURN a,b",    "TURN 7,15",   "PLAY 7 7",   "PLAY 15,15",
                       "PLAY",      "PLAY ,7",     "TAKEBACK 7",  "TAKEBACK 15,3", "TAKEBACK",
                       "TAKEBACK -1,-1"};
  for (const char* line : bad) send(line);
  // PLAY stops any search first, so a search started by mistake would answer before it.
  send("PLAY 3,3");
  EngineProcess::Collected c = engine.read_until([](const std::string& l) { return l == "3,3"; });
  ASSERT_TRUE(c.matched);
  c.lines.pop_back();
  EXPECT_EQ(c.lines, Lines(std::size(bad), "ERROR bad coordinates"));
}

TEST_F(ProtocolMoves, TurnAnswersWithAMove) {
  start_quick_game();
  // White space after the comma is skipped by the number conversion.
  send("TURN 7, 8");
  Lines before;
  EXPECT_NE(next_move(&before), "7,8");
  EXPECT_EQ(before.at(0), "MESSAGE Rule Gomoku (Freestyle)");
  // The first search built the position with the stone at 7,8 on it.
  send("PLAY 7,8");
  EXPECT_EQ(lines_before_sync(), (Lines{"ERROR my move [7,8]", "7,8"}));
}

TEST_F(ProtocolMoves, PlayEchoesAndDoesNotSearch) {
  start_quick_game();
  send_all({"PLAY 7,7", "PLAY 8,8", "PLAY 7,8"});
  // Nothing but the echoes: no rule line, no move from a search.
  EXPECT_EQ(lines_before_sync(), (Lines{"7,7", "8,8", "7,8"}));
  send("PLAY 9,9");
  EXPECT_EQ(reply(), "9,9");
}

TEST_F(ProtocolMoves, RepeatedCellIsRecordedUntilThePositionIsBuilt) {
  start_quick_game();
  // Before the first search the record is not checked against the board.
  send_all({"PLAY 7,7", "PLAY 7,7"});
  EXPECT_EQ(lines_before_sync(), (Lines{"7,7", "7,7"}));
  send("TURN 7,7");
  const std::string move = next_move();
  // Once built, the repeated cell is refused; the search for the side to move still runs.
  send("TURN 7,7");
  EXPECT_EQ(reply(), "ERROR opponents's move [7,7]");
  const std::string second = next_move();
  EXPECT_NE(second, move);
  send("PLAY 7,7");
  EXPECT_EQ(reply(), "ERROR my move [7,7]");
  EXPECT_EQ(reply(), "7,7");
  send("PLAY " + move);
  EXPECT_EQ(reply(), "ERROR my move [" + move + "]");
  EXPECT_EQ(reply(), move);
}

TEST_F(ProtocolMoves, RecordHoldsAtMost576Moves) {
  send("START 24");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  std::string burst;
  for (int x = 0; x < 24; ++x)
    for (int y = 0; y < 24; ++y) burst += "PLAY " + std::to_string(x) + "," + std::to_string(y) + "\n";
  ASSERT_TRUE(engine.send_raw(burst));
  for (int x = 0; x < 24; ++x)
    for (int y = 0; y < 24; ++y) ASSERT_EQ(reply(), std::to_string(x) + "," + std::to_string(y));
  // The 577th move is refused with an error line (PLAY still echoes).
  send("PLAY 5,5");
  const Lines refused = lines_before_sync();
  ASSERT_EQ(refused.size(), 2u);
  EXPECT_EQ(refused[0].rfind("ERROR", 0), 0u) << refused[0];
  EXPECT_EQ(refused[1], "5,5");
  // Exactly 576 moves are in the record: the 577th take-back finds none.
  std::string takebacks;
  for (int x = 23; x >= 0; --x)
    for (int y = 23; y >= 0; --y)
      takebacks += "TAKEBACK " + std::to_string(x) + "," + std::to_string(y) + "\n";
  takebacks += "TAKEBACK 0,0\n";
  ASSERT_TRUE(engine.send_raw(takebacks));
  EngineProcess::Collected c =
      engine.read_until([](const std::string& l) { return l.rfind("ERROR bad coordinates", 0) == 0; });
  ASSERT_TRUE(c.matched);
  size_t oks = 0;
  for (const std::string& line : c.lines) oks += line == "OK";
  EXPECT_EQ(oks, 576u);
  EXPECT_EQ(c.lines.size(), 577u);
}

using ProtocolPositionBlock = EngineSession;

TEST_F(ProtocolPositionBlock, BoardRecordsStonesAndSearches) {
  start_quick_game();
  send_all({"BOARD", "7,7,1", "7,8,2", "done"});
  Lines before;
  const std::string move = next_move(&before);
  EXPECT_EQ(before.at(0), "MESSAGE Rule Gomoku (Freestyle)");
  EXPECT_NE(move, "7,7");
  EXPECT_NE(move, "7,8");
  // Both stones are on the position now.
  send_all({"PLAY 7,7", "PLAY 7,8"});
  EXPECT_EQ(lines_before_sync(), (Lines{"ERROR my move [7,7]", "7,7", "ERROR my move [7,8]", "7,8"}));
}

TEST_F(ProtocolPositionBlock, BlockEndingWithoutDoneStillSearches) {
  start_quick_game();
  send_all({"BOARD", "7,7,1", "7,8", "done"});
  EXPECT_EQ(reply(), "ERROR x,y,who or DONE expected after BOARD");
  // The "done" is an ordinary command again; the search answers meanwhile, in any order.
  bool unknown = false, moved = false;
  while (!(unknown && moved)) {
    const std::optional<std::string> line = engine.read_line();
    ASSERT_TRUE(line.has_value()) << "unknown=" << unknown << " moved=" << moved;
    if (*line == "UNKNOWN command") {
      EXPECT_FALSE(unknown);
      unknown = true;
    } else if (is_move(*line)) {
      EXPECT_FALSE(moved);
      moved = true;
    } else {
      EXPECT_EQ(line->rfind("MESSAGE", 0), 0u) << *line;
    }
  }
  // The stone read before the bad line stays recorded.
  send("PLAY 7,7");
  EXPECT_EQ(lines_before_sync(), (Lines{"ERROR my move [7,7]", "7,7"}));
}

TEST_F(ProtocolPositionBlock, BadLinesEndTheBlock) {
  start_quick_game();
  // Who outside 1..3, a cell off the board, too few numbers, a blank line.
  for (const char* bad : {"7,7,4", "15,0,1", "7,7", ""}) {
    send_all({"zrboard", bad});
    EXPECT_EQ(lines_before_sync(), Lines{"ERROR x,y,who or DONE expected after BOARD"}) << bad;
  }
}

TEST_F(ProtocolPositionBlock, ZrboardRecordsWithoutSearching) {
  start_quick_game();
  send_all({"zrboard", "7,7,1", "7,8,2", "8,8,1", "DONE", "PLAY 9,9"});
  // PLAY would have stopped a search and let its move come first.
  EXPECT_EQ(lines_before_sync(), Lines{"9,9"});
  send_all({"TAKEBACK 9,9", "TAKEBACK 8,8", "TAKEBACK 7,8", "TAKEBACK 7,7", "TAKEBACK 7,7"});
  EXPECT_EQ(lines_before_sync(), (Lines{"OK", "OK", "OK", "OK", "ERROR bad coordinates"}));
}

TEST_F(ProtocolPositionBlock, BlockedStoneLastsUntilTheNextRebuild) {
  start_quick_game();
  send("TURN 7,7");
  send("TAKEBACK " + next_move());
  EXPECT_EQ(reply(), "OK");
  // The position is built: a blocked stone goes on the board, and nowhere occupied.
  send_all({"zrboard", "14,14,3", "7,7,3", "done"});
  EXPECT_EQ(lines_before_sync(), Lines{"ERROR board-block move [7,7]"});
  send_all({"PLAY 14,14", "TAKEBACK 14,14"});
  EXPECT_EQ(lines_before_sync(),
            (Lines{"ERROR my move [14,14]", "14,14", "ERROR bad coordinates"}));
  // A change of rule rebuilds the position from the record, which has no blocked stone.
  send_all({"INFO rule 1", "BEGIN"});
  Lines before;
  send("TAKEBACK " + next_move(&before));
  EXPECT_EQ(before.at(0), "MESSAGE Rule Gomoku (Standard)");
  EXPECT_EQ(reply(), "OK");
  send("PLAY 14,14");
  EXPECT_EQ(lines_before_sync(), Lines{"14,14"});
}

using ProtocolTakeback = EngineSession;

TEST_F(ProtocolTakeback, TakesBackTheNamedStones) {
  start_quick_game();
  send("TURN 7,7");
  const std::string move = next_move();
  send_all({"TAKEBACK " + move, "TAKEBACK 7,7"});
  EXPECT_EQ(lines_before_sync(), (Lines{"OK", "OK"}));
  // Both cells are free again on the built position, and the record is empty.
  send_all({"TAKEBACK 7,7", "PLAY 7,7", "PLAY " + move});
  EXPECT_EQ(lines_before_sync(), (Lines{"ERROR bad coordinates", "7,7", move}));
}

TEST_F(ProtocolTakeback, EmptyCellOrEmptyRecordIsRefused) {
  start_quick_game();
  send_all({"TAKEBACK 7,7", "PLAY 7,7", "TAKEBACK 8,8", "TAKEBACK 7,7", "TAKEBACK 7,7"});
  EXPECT_EQ(lines_before_sync(),
            (Lines{"ERROR bad coordinates", "7,7", "ERROR bad coordinates", "OK",
                   "ERROR bad coordinates"}));
}

TEST_F(ProtocolTakeback, BeforeTheFirstBuildTheNewGameDecides) {
  // A first game leaves stones at 7,7 and at the engine's move on the built position.
  start_quick_game();
  send("TURN 7,7");
  const std::string move = next_move();
  send("START 15");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  // The new game has recorded nothing: those stones are not its moves.
  send_all({"TAKEBACK 7,7", "TAKEBACK " + move});
  EXPECT_EQ(lines_before_sync(), (Lines{"ERROR bad coordinates", "ERROR bad coordinates"}));
  // A move of this game can be taken back although the old position has no stone there;
  // an old stone still cannot.
  const std::string cell = move == "13,1" ? "13,2" : "13,1";
  send_all({"PLAY " + cell, "TAKEBACK 7,7", "TAKEBACK " + cell, "TAKEBACK " + cell});
  EXPECT_EQ(lines_before_sync(),
            (Lines{cell, "ERROR bad coordinates", "OK", "ERROR bad coordinates"}));
}

TEST_F(ProtocolTakeback, RestartEmptiesTheRecordAndKeepsTheSize) {
  start_quick_game("12");
  send_all({"PLAY 7,7", "RESTART"});
  EXPECT_EQ(lines_before_sync(), (Lines{"7,7", GREETING, "OK"}));
  send_all({"TAKEBACK 7,7", "PLAY 11,11", "PLAY 12,12"});
  EXPECT_EQ(lines_before_sync(), (Lines{"ERROR bad coordinates", "11,11", "ERROR bad coordinates"}));
}

using ProtocolRule = EngineSession;

// One opponent stone in the corner, the engine's reply, and both taken back again, so
// that every decision searches (no win to continue, no five to block). Returns the lines
// written before the reply.
Lines search_once(EngineSession& s) {
  EXPECT_TRUE(s.engine.send("TURN 0,0"));
  EngineProcess::Collected c = s.engine.read_until(is_move);
  EXPECT_TRUE(c.matched);
  if (!c.matched) return {};
  s.send_all({"TAKEBACK " + c.lines.back(), "TAKEBACK 0,0"});
  EXPECT_EQ(s.lines_before_sync(), (Lines{"OK", "OK"}));
  return Lines(c.lines.begin(), c.lines.end() - 1);
}

bool has_rule_line(const Lines& lines) {
  for (const std::string& line : lines)
    if (line.rfind("MESSAGE Rule", 0) == 0) return true;
  return false;
}

TEST_F(ProtocolRule, FirstSearchOfAGameAndEachRuleChangeWriteTheRuleLine) {
  start_quick_game();
  EXPECT_EQ(search_once(*this).at(0), "MESSAGE Rule Gomoku (Freestyle)");
  EXPECT_FALSE(has_rule_line(search_once(*this)));
  send("INFO rule 1");
  EXPECT_EQ(search_once(*this).at(0), "MESSAGE Rule Gomoku (Standard)");
  // Every rule other than 0 and 1 is named Renju.
  send("INFO rule 4");
  EXPECT_EQ(search_once(*this).at(0), "MESSAGE Rule Renju");
  // A new game writes it again for the same rule.
  send("START 15");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  EXPECT_EQ(search_once(*this).at(0), "MESSAGE Rule Renju");
}

TEST_F(ProtocolRule, ForbiddenPointsAreShownUnderRenjuOnly) {
  send("START 15");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  for (const char* rule : {"INFO rule 0", "INFO rule 1", "INFO rule 3", "INFO rule -1", "INFO rule -4"}) {
    send_all({rule, "zrshowforbid"});
    EXPECT_EQ(lines_before_sync(), Lines{}) << rule;
  }
  send_all({"INFO rule 2", "zrshowforbid"});
  EXPECT_EQ(lines_before_sync(), Lines{"FORBID ."});
}

// Black (4 stones, white's 4 in the corners) to move, with a double three at 7,7.
const std::vector<std::string> DOUBLE_THREE_BLOCK = {"7,5,1", "0,0,2",  "7,6,1", "0,14,2",
                                                     "5,7,1", "14,0,2", "6,7,1", "14,14,2", "done"};

// Managers that follow the Gomocup protocol send rule as a bit mask in which 4 is Renju:
// every such value plays Renju exactly as 2 does.
TEST_F(ProtocolRule, GomocupRenjuBitMeansRenju) {
  send_all({"INFO timeout_turn 300", "INFO hash_size 4096", "START 15"});
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  for (const char* rule : {"2", "4", "5", "6", "7", "12"}) {
    send_all({"RESTART", std::string("INFO rule ") + rule, "zrboard"});
    send_all(DOUBLE_THREE_BLOCK);
    send("zrshowforbid");
    EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK", "FORBID 0707."})) << "rule " << rule;
  }
  // A decision under rule 4 says Renju and keeps black off the forbidden point, which
  // free-style black takes: it wins there.
  send_all({"RESTART", "INFO rule 4", "BOARD"});
  send_all(DOUBLE_THREE_BLOCK);
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  Lines before;
  EXPECT_NE(next_move(&before), "7,7");
  EXPECT_EQ(before.at(0), "MESSAGE Rule Renju");
  send_all({"RESTART", "INFO rule 0", "BOARD"});
  send_all(DOUBLE_THREE_BLOCK);
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  EXPECT_EQ(next_move(), "7,7");
  // Values without the bit are not Renju: no forbidden points.
  send_all({"RESTART", "INFO rule 3", "zrboard"});
  send_all(DOUBLE_THREE_BLOCK);
  send("zrshowforbid");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
}

// Found by the command-loop fuzzer: zrshowforbid does not set up the default board, so
// before any START it builds the position for a game with no size (an empty square with
// nothing on it). That must answer the empty list and leave the next game as usual.
TEST_F(ProtocolRule, ForbiddenPointsBeforeAnyBoardSize) {
  send_all({"INFO rule 2", "zrshowforbid", "zrshowforbid"});
  EXPECT_EQ(lines_before_sync(), (Lines{"FORBID .", "FORBID ."}));
  send_all({"PLAY 19,19", "zrshowforbid", "PLAY 19,19", "TAKEBACK 19,19", "TAKEBACK 19,19"});
  EXPECT_EQ(lines_before_sync(),
            (Lines{GREETING, "OK", "19,19", "FORBID .", "ERROR my move [19,19]", "19,19", "OK", "ERROR bad coordinates"}));
}

TEST_F(ProtocolRule, ShowingForbiddenPointsBuildsThePosition) {
  start_quick_game();
  send_all({"INFO rule 2", "PLAY 7,7", "PLAY 7,7"});
  EXPECT_EQ(lines_before_sync(), (Lines{"7,7", "7,7"}));
  send("zrshowforbid");
  const std::string forbid = reply();
  EXPECT_EQ(forbid.rfind("FORBID ", 0), 0u) << forbid;
  EXPECT_EQ(forbid.back(), '.');
  // The record was replayed onto a built position: the cell is now taken.
  send("PLAY 7,7");
  EXPECT_EQ(lines_before_sync(), (Lines{"ERROR my move [7,7]", "7,7"}));
}

TEST_F(ProtocolRule, AnyRuleValueBuildsThePosition) {
  // -1 is no rule at all; it is named Renju like every value but 0 and 1, and the
  // search still builds the position for it.
  start_quick_game();
  send_all({"INFO rule -1", "TURN 7,7"});
  Lines before;
  next_move(&before);
  EXPECT_EQ(before.at(0), "MESSAGE Rule Renju");
  send("PLAY 7,7");
  EXPECT_EQ(lines_before_sync(), (Lines{"ERROR my move [7,7]", "7,7"}));
}

}  // namespace
}  // namespace zerin_test
