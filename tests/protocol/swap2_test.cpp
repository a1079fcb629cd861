// Swap2 openings through the protocol: SWAP2BOARD with 0, 3 and 5 stones, each answer
// the engine can give, the game record it leaves, the opening variety, the book's
// openings and their time, and bad blocks.
#include <chrono>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "protocol/protocol_fixture.h"

namespace zerin_test {
namespace {

using Cell = std::pair<int, int>;
using Cells = std::vector<Cell>;

// Three stones that leave white clearly worse (black's two stones together, white's in
// a corner) or clearly better (white in the centre, black's stones in the corners), at
// every search depth; five stones with black's open three, and with white's two stones
// together against black's three in the corners.
const Lines WHITE_WORSE_AT_THREE = {"7,7", "0,0", "8,8"};
const Lines WHITE_BETTER_AT_THREE = {"0,0", "7,7", "14,14"};
const Lines NEAR_EVEN_AT_THREE = {"7,7", "7,8", "8,8"};
const Lines WHITE_LOST_AT_FIVE = {"7,6", "0,0", "7,7", "0,14", "7,8"};
const Lines WHITE_WINS_AT_FIVE = {"0,0", "7,7", "14,14", "7,8", "0,14"};

// The cells of an answer "x,y x,y ..."; empty when a word is not a cell.
Cells parse_cells(const std::string& answer) {
  Cells cells;
  std::istringstream words(answer);
  for (std::string word; words >> word;) {
    if (!is_move(word)) return {};
    const size_t comma = word.find(',');
    cells.emplace_back(std::stoi(word.substr(0, comma)), std::stoi(word.substr(comma + 1)));
  }
  return cells;
}

Cells parse_cells(const Lines& stones) {
  Cells cells;
  for (const std::string& stone : stones) cells.push_back(parse_cells(stone).at(0));
  return cells;
}

class ProtocolSwap2 : public EngineSession {
 public:
  int height = 15, width = 15;

  // A standard-rule game (the rule Swap2 is played by) with quick decisions.
  void start_swap2_game(const std::string& start = "START 15", int turn_ms = 150) {
    send_all({"INFO timeout_turn " + std::to_string(turn_ms), "INFO hash_size 4096", "INFO rule 1", start});
    EXPECT_EQ(reply(), GREETING);
    EXPECT_EQ(reply(), "OK");
  }

  // Sends SWAP2BOARD with the stones and returns the first line that is not a MESSAGE
  // line: the answer (or an error). *before receives the MESSAGE lines before it.
  std::string swap2(const Lines& stones, Lines* before = nullptr) {
    send("SWAP2BOARD");
    send_all(stones);
    send("DONE");
    EngineProcess::Collected c =
        engine.read_until([](const std::string& l) { return l.rfind("MESSAGE", 0) != 0; });
    EXPECT_TRUE(c.matched) << "no answer to SWAP2BOARD";
    if (!c.matched) return "<no answer>";
    std::string answer = c.lines.back();
    c.lines.pop_back();
    if (before) *before = std::move(c.lines);
    return answer;
  }

  // The answer's cells: as many as expected, on the board, distinct and none of them
  // one of the stones; and nothing written after the answer.
  Cells expect_cells(const std::string& answer, size_t count, const Lines& stones) {
    const Cells cells = parse_cells(answer);
    EXPECT_EQ(cells.size(), count) << answer;
    std::set<Cell> taken;
    for (const Cell& c : parse_cells(stones)) taken.insert(c);
    for (const Cell& c : cells) {
      EXPECT_TRUE(c.first >= 0 && c.first < height && c.second >= 0 && c.second < width) << answer;
      EXPECT_TRUE(taken.insert(c).second) << answer << ": " << c.first << "," << c.second << " taken";
    }
    EXPECT_EQ(lines_before_sync(), Lines{}) << "after " << answer;
    return cells;
  }

  // The game record is empty: a take-back finds no move to take back.
  void expect_empty_record() {
    send("TAKEBACK 7,7");
    EXPECT_EQ(lines_before_sync(), Lines{"ERROR bad coordinates"});
  }

  // BOARD with the stones in play order (the engine's own as 1): the engine answers with
  // a move on a free cell, and no error.
  void expect_board_accepted(const Cells& stones, int own_colour) {
    send("BOARD");
    for (size_t i = 0; i < stones.size(); ++i) {
      const int colour = i % 2 == 0 ? 1 : 2;
      send(std::to_string(stones[i].first) + "," + std::to_string(stones[i].second) + "," +
           (colour == own_colour ? "1" : "2"));
    }
    send("DONE");
    const std::string move = next_move();
    for (const Cell& c : stones) EXPECT_NE(move, std::to_string(c.first) + "," + std::to_string(c.second));
    EXPECT_EQ(lines_before_sync(), Lines{});
  }
};

TEST_F(ProtocolSwap2, ProposesThreeStonesAndLeavesTheRecordEmpty) {
  start_swap2_game();
  send("PLAY 7,7");  // a game under way is dropped by SWAP2BOARD
  EXPECT_EQ(reply(), "7,7");
  Lines before;
  const std::string answer = swap2({}, &before);
  for (const std::string& line : before) EXPECT_EQ(line.rfind("MESSAGE", 0), 0u) << line;
  const Cells proposal = expect_cells(answer, 3, {});
  // Exactly five on 15 by 15: an opening of the book, within three of the centre.
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(before.back().rfind("MESSAGE SWAP2 BOOK ENTRY:", 0), 0u) << before.back();
  for (const Cell& c : proposal) {
    EXPECT_LE(std::abs(c.first - 7), 3) << answer;
    EXPECT_LE(std::abs(c.second - 7), 3) << answer;
  }
  expect_empty_record();
  // Without the book the pair search proposes: the black stone next to the centre, the
  // others within two of it.
  send("INFO swap2_book 0");
  const std::string searched = swap2({}, &before);
  const Cells pair_proposal = expect_cells(searched, 3, {});
  EXPECT_NE(before.back().find("SWAP2 PAIR"), std::string::npos) << before.back();
  EXPECT_LE(std::abs(pair_proposal[0].first - 7), 1);
  EXPECT_LE(std::abs(pair_proposal[0].second - 7), 1);
  for (const Cell& c : {pair_proposal[1], pair_proposal[2]}) {
    EXPECT_LE(std::abs(c.first - pair_proposal[0].first), 2) << searched;
    EXPECT_LE(std::abs(c.second - pair_proposal[0].second), 2) << searched;
  }
  expect_empty_record();
  // The opponent stays white and plays the fourth stone; the engine, black, gets BOARD.
  Cells game = proposal;
  game.push_back({0, 0});
  expect_board_accepted(game, 1);
}

TEST_F(ProtocolSwap2, ThreeStonesClearlyWorseForWhiteTakeBlack) {
  start_swap2_game();
  EXPECT_EQ(swap2(WHITE_WORSE_AT_THREE), "SWAP");
  EXPECT_EQ(lines_before_sync(), Lines{});
  expect_empty_record();
  // Black now: the opponent's fourth stone comes with the game.
  Cells game = parse_cells(WHITE_WORSE_AT_THREE);
  game.push_back({6, 6});
  expect_board_accepted(game, 1);
}

TEST_F(ProtocolSwap2, ThreeStonesClearlyBetterForWhitePlayTheFourthStone) {
  start_swap2_game();
  const Cells stone = expect_cells(swap2(WHITE_BETTER_AT_THREE), 1, WHITE_BETTER_AT_THREE);
  expect_empty_record();
  // The opponent (black) then gets the four stones; the engine sees its fifth by TURN
  // after this BOARD.
  Cells game = parse_cells(WHITE_BETTER_AT_THREE);
  game.push_back(stone.at(0));
  game.push_back({1, 1});
  expect_board_accepted(game, 2);
}

TEST_F(ProtocolSwap2, ThreeStonesNearEvenAddTwoStonesUnlessTurnedOff) {
  start_swap2_game();
  // A margin wider than any undecided value puts every such position in the even band.
  send("INFO swap2_margin 1000000");
  expect_cells(swap2(NEAR_EVEN_AT_THREE), 2, NEAR_EVEN_AT_THREE);
  expect_empty_record();
  // Without the pair the engine takes the colour its search prefers.
  send("INFO swap2_pair 0");
  const std::string answer = swap2(NEAR_EVEN_AT_THREE);
  if (answer != "SWAP") expect_cells(answer, 1, NEAR_EVEN_AT_THREE);
  // The margin does not turn a clear position into a pair's: decided values stay clear,
  // and margin 0 leaves no band at all.
  send_all({"INFO swap2_pair 1", "INFO swap2_margin 0"});
  EXPECT_EQ(swap2(WHITE_WORSE_AT_THREE), "SWAP");
  expect_cells(swap2(WHITE_BETTER_AT_THREE), 1, WHITE_BETTER_AT_THREE);
}

TEST_F(ProtocolSwap2, FiveStonesTakeTheBetterColour) {
  start_swap2_game();
  EXPECT_EQ(swap2(WHITE_LOST_AT_FIVE), "SWAP");
  EXPECT_EQ(lines_before_sync(), Lines{});
  const Cells stone = expect_cells(swap2(WHITE_WINS_AT_FIVE), 1, WHITE_WINS_AT_FIVE);
  expect_empty_record();
  Cells game = parse_cells(WHITE_WINS_AT_FIVE);
  game.push_back(stone.at(0));
  game.push_back({14, 0});
  expect_board_accepted(game, 2);
}

TEST_F(ProtocolSwap2, EveryRuleAndARectangularBoard) {
  // Width 20, height 15: x below 15, y below 20; the centre is 7,10.
  for (const char* rule : {"0", "2", "4"}) {
    start_swap2_game("RECTSTART 20,15", 100);
    height = 15;
    width = 20;
    send(std::string("INFO rule ") + rule);
    const Cells proposal = expect_cells(swap2({}), 3, {});
    EXPECT_LE(std::abs(proposal[0].first - 7), 1) << rule;
    EXPECT_LE(std::abs(proposal[0].second - 10), 1) << rule;
    const Lines three = {"7,10", "7,11", "8,11"};
    const std::string answer = swap2(three);
    if (answer != "SWAP") {
      const Cells cells = expect_cells(answer, parse_cells(answer).size(), three);
      EXPECT_TRUE(cells.size() == 1 || cells.size() == 2) << answer;
    }
    const Lines five = {"7,10", "7,11", "8,11", "6,9", "9,12"};
    const std::string at_five = swap2(five);
    if (at_five != "SWAP") expect_cells(at_five, 1, five);
  }
}

TEST_F(ProtocolSwap2, FewFreeCellsLimitTheAnswers) {
  // Six cells, five taken: SWAP or the last one.
  start_swap2_game("RECTSTART 3,2");
  height = 2;
  width = 3;
  const Lines five = {"0,0", "0,1", "0,2", "1,0", "1,1"};
  const std::string answer = swap2(five);
  if (answer != "SWAP") {
    EXPECT_EQ(answer, "1,2");
  }
  EXPECT_EQ(lines_before_sync(), Lines{});
  // One free cell at three stones: no pair.
  send_all({"zrblock", "1,1", "1,2", "done"});
  const std::string at_three = swap2({"0,0", "0,1", "0,2"});
  if (at_three != "SWAP") {
    EXPECT_EQ(at_three, "1,0");
  }
  EXPECT_EQ(lines_before_sync(), Lines{});
  // Blocked cells are never proposed, by the book or by the pair search.
  send_all({"zrblockreset", "START 15", "zrblock", "6,6", "6,7", "6,8", "7,6", "7,8", "8,6", "8,7", "8,8", "done"});
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  height = width = 15;
  for (int i = 0; i < 4; ++i)
    for (const Cell& c : expect_cells(swap2({}), 3, {}))
      EXPECT_FALSE(std::abs(c.first - 7) <= 1 && std::abs(c.second - 7) <= 1 && c != Cell(7, 7));
  send("INFO swap2_book 0");
  const Cells proposal = expect_cells(swap2({}), 3, {});
  EXPECT_EQ(proposal[0], Cell(7, 7));
  for (const Cell& c : proposal) EXPECT_FALSE(std::abs(c.first - 7) <= 1 && std::abs(c.second - 7) <= 1 && c != Cell(7, 7));
}

// A book proposal needs no search: it comes at once, however long the move's time. Given
// back at three stones, the book's opening is answered with a colour (SWAP or one stone),
// within the move's time.
TEST_F(ProtocolSwap2, BookOpeningsComeAtOnceAndAreAnsweredWithAColourInTime) {
  SKIP_TIMING_UNDER_ENGINE_COMMAND();
  start_swap2_game("START 15", 400);
  swap2({});  // the first decision of the process builds its tables
  for (int i = 0; i < 3; ++i) {
    const auto sent = std::chrono::steady_clock::now();
    const std::string answer = swap2({});
    if (!SANITIZER_BUILD) {
      EXPECT_LT(std::chrono::steady_clock::now() - sent, Millis(100)) << answer;
    }
    const Cells proposal = expect_cells(answer, 3, {});
    Lines stones;
    for (const Cell& c : proposal) stones.push_back(std::to_string(c.first) + "," + std::to_string(c.second));
    const auto asked = std::chrono::steady_clock::now();
    Lines before;
    const std::string at_three = swap2(stones, &before);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, Millis(400 + 100)) << at_three;
    EXPECT_EQ(before.back().rfind("MESSAGE SWAP2 BOOK ENTRY:", 0), 0u) << before.back();
    if (at_three != "SWAP") expect_cells(at_three, 1, stones);
  }
}

// The openings vary with the seed and from one opening to the next, and repeat for the
// same seed and opening number. A node budget (with ample time) makes the searches repeat.
TEST_F(ProtocolSwap2, OpeningsRepeatForTheSameSeedAndVaryOtherwise) {
  const Lines deterministic = {"INFO timeout_turn 60000", "INFO max_node 20", "INFO hash_size 4096", "INFO rule 1"};
  EngineProcess twin;
  ASSERT_TRUE(twin.started());
  std::set<std::string> seen;
  for (const char* seed : {"0", "77", "0"}) {
    for (EngineProcess* e : {&engine, &twin}) {
      for (const std::string& line : deterministic) e->send(line);
      e->send(std::string("INFO swap2_seed ") + seed);
      e->send("START 15");
      e->send("SWAP2BOARD");
      e->send("DONE");
    }
    for (int opening = 0; opening < 2; ++opening) {
      if (opening > 0)
        for (EngineProcess* e : {&engine, &twin}) {
          e->send("SWAP2BOARD");
          e->send("DONE");
        }
      std::string answers[2];
      for (int k = 0; k < 2; ++k) {
        EngineProcess& e = k == 0 ? engine : twin;
        EngineProcess::Collected c = e.read_until(
            [](const std::string& l) { return l.rfind("MESSAGE", 0) != 0 && l != "OK"; }, SLOW_REPLY_TIMEOUT);
        ASSERT_TRUE(c.matched);
        answers[k] = c.lines.back();
      }
      EXPECT_EQ(answers[0], answers[1]) << "seed " << seed << ", opening " << opening;
      EXPECT_EQ(parse_cells(answers[0]).size(), 3u) << answers[0];
      seen.insert(answers[0]);
    }
  }
  // Two seeds, two openings each (the second round of seed 0 in each process repeats
  // nothing it proposed before: its opening numbers go on counting).
  EXPECT_GE(seen.size(), 4u);
  twin.close_input();
  EXPECT_EQ(twin.wait_exit(), 0);
}

using ProtocolSwap2BadInput = ProtocolSwap2;

TEST_F(ProtocolSwap2BadInput, BeforeStartIsRefused) {
  EXPECT_EQ(swap2(NEAR_EVEN_AT_THREE), "ERROR SWAP2BOARD before START: no board size");
  EXPECT_EQ(swap2({}), "ERROR SWAP2BOARD before START: no board size");
  EXPECT_EQ(lines_before_sync(), Lines{});
  // No game was set up meanwhile: START greets once.
  send("START 15");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
}

TEST_F(ProtocolSwap2BadInput, BadCellsAndCountsGetOneErrorAndRecordNothing) {
  start_swap2_game();
  const std::vector<std::pair<Lines, std::string>> cases = {
      {{"7,7", "15,3", "8,8"}, "ERROR SWAP2BOARD cell [15,3] is off the board"},
      {{"7,7", "7,8", "-1,3"}, "ERROR SWAP2BOARD cell [-1,3] is off the board"},
      {{"7,7", "7,8", "7,15", "99999999999,0"}, "ERROR SWAP2BOARD cell [7,15] is off the board"},
      {{"7,7", "7,8", "7,7"}, "ERROR SWAP2BOARD cell [7,7] is repeated"},
      {{"7,7", "7,8", "8,8", "6,6", "7,8"}, "ERROR SWAP2BOARD cell [7,8] is repeated"},
      {{"7,7"}, "ERROR SWAP2BOARD takes 0, 3 or 5 stones, not 1"},
      {{"7,7", "7,8"}, "ERROR SWAP2BOARD takes 0, 3 or 5 stones, not 2"},
      {{"7,7", "7,8", "8,8", "9,9"}, "ERROR SWAP2BOARD takes 0, 3 or 5 stones, not 4"},
      {{"7,7", "7,8", "8,8", "9,9", "6,6", "5,5"}, "ERROR SWAP2BOARD takes 0, 3 or 5 stones, not 6"},
  };
  for (const auto& [stones, error] : cases) {
    send("PLAY 7,7");
    EXPECT_EQ(reply(), "7,7");
    EXPECT_EQ(swap2(stones), error);
    // Nothing else came, and the game is as it was: its one move can be taken back.
    send("TAKEBACK 7,7");
    EXPECT_EQ(lines_before_sync(), Lines{"OK"}) << error;
  }
}

TEST_F(ProtocolSwap2BadInput, LineThatIsNoCellEndsTheBlockAsInBoard) {
  start_swap2_game();
  for (const char* bad : {"7 8", "hello", "", "BEGIN"}) {
    send_all({"SWAP2BOARD", "7,7", bad, "8,8", "DONE"});
    EXPECT_EQ(lines_before_sync(),
              (Lines{"ERROR x,y or DONE expected after SWAP2BOARD", "UNKNOWN command", "UNKNOWN command"}))
        << bad;
  }
  expect_empty_record();
}

TEST_F(ProtocolSwap2BadInput, ColourFieldsAndLetterCaseAreAccepted) {
  start_swap2_game();
  send_all({"swap2board", "0,0,1", "7,7,2", "14,14,1", "done"});
  EngineProcess::Collected c = engine.read_until([](const std::string& l) { return l.rfind("MESSAGE", 0) != 0; });
  ASSERT_TRUE(c.matched);
  expect_cells(c.lines.back(), 1, WHITE_BETTER_AT_THREE);
}

TEST_F(ProtocolSwap2BadInput, NoRoomForAProposal) {
  start_swap2_game("START 1");
  EXPECT_EQ(swap2({}), "ERROR SWAP2BOARD has no room for three stones");
  send_all({"START 2", "zrblock", "0,0", "0,1", "done"});
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  EXPECT_EQ(swap2({}), "ERROR SWAP2BOARD has no room for three stones");
  send("zrblockreset");
  height = width = 2;
  expect_cells(swap2({}), 3, {});
}

TEST_F(ProtocolSwap2BadInput, InputEndingInsideTheBlockExitsWithoutAnswer) {
  start_swap2_game();
  send_all({"SWAP2BOARD", "7,7", "7,8"});
  engine.close_input();
  EXPECT_EQ(engine.read_until_quiet(Millis(200)), Lines{});
  EXPECT_EQ(engine.wait_exit(), 0);
}

// Like the other game commands SWAP2BOARD stops a running search, which answers first;
// its own searches stop on zrstop and END like a move decision's.
TEST_F(ProtocolSwap2BadInput, DuringASearchAndStoppedItself) {
  send_all({"INFO max_node -1", "INFO hash_size 4096", "INFO rule 1", "START 15", "TURN 7,7"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  for (const std::string& line : engine.read_until_quiet(Millis(100), Millis(200))) EXPECT_FALSE(is_move(line)) << line;
  send("SWAP2BOARD");
  send_all(WHITE_LOST_AT_FIVE);
  send("DONE");
  next_move();
  // The Swap2 search thinks until stopped.
  for (const std::string& line : engine.read_until_quiet(Millis(100), Millis(200))) EXPECT_EQ(line.rfind("MESSAGE", 0), 0u) << line;
  send("zrstop");
  EngineProcess::Collected c = engine.read_until([](const std::string& l) { return l.rfind("MESSAGE", 0) != 0; });
  ASSERT_TRUE(c.matched);
  EXPECT_EQ(c.lines.back(), "SWAP");
  // At three stones a stop during the search for white leaves no time for a pair: one
  // answer all the same. END stops it too, and the answer still comes before the exit.
  send("SWAP2BOARD");
  send_all(NEAR_EVEN_AT_THREE);
  send("DONE");
  for (const std::string& line : engine.read_until_quiet(Millis(100), Millis(200))) EXPECT_EQ(line.rfind("MESSAGE", 0), 0u) << line;
  send("END");
  c = engine.read_until([](const std::string& l) { return l.rfind("MESSAGE", 0) != 0; });
  ASSERT_TRUE(c.matched);
  const std::string answer = c.lines.back();
  if (answer != "SWAP") {
    EXPECT_EQ(parse_cells(answer).size(), 1u) << answer;
  }
  EXPECT_EQ(engine.wait_exit(), 0);
}

}  // namespace
}  // namespace zerin_test
