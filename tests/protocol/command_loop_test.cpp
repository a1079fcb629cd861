// The command loop as a controller sees it: greeting, keyword matching, line reading,
// INFO, ABOUT and the ways the process ends.
#include <string>

#include "protocol/protocol_fixture.h"

namespace zerin_test {
namespace {

using ProtocolGreeting = EngineSession;

TEST_F(ProtocolGreeting, FirstLineIsTheAnswerToTheFirstCommand) {
  // Nothing is written at start-up, and ABOUT needs no game: its line comes first.
  send("ABOUT");
  const std::string fields =
      "name=\"Zerin\", author=\"Quendel\", version=\"2015 Kernal 0.4.47\", country=\"China\", www=\"";
  const std::string line = reply();
  ASSERT_EQ(line.substr(0, fields.size()), fields);
  // The web address: a non-empty quoted value ending the line.
  const std::string www = line.substr(fields.size());
  ASSERT_GE(www.size(), 2u) << line;
  EXPECT_EQ(www.back(), '"') << line;
  EXPECT_EQ(www.find('"'), www.size() - 1) << line;
}

TEST_F(ProtocolGreeting, StartGreetsThenOk) {
  send("START 15");
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  EXPECT_EQ(lines_before_sync(), Lines{});
}

TEST_F(ProtocolGreeting, TurnBeforeStartGreetsThenSearches) {
  send_all({"INFO timeout_turn 100", "TURN 19,19"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  EXPECT_NE(next_move(), "19,19");
}

TEST_F(ProtocolGreeting, RestartBeforeStartGreetsTwice) {
  send("RESTART");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK", GREETING, "OK"}));
  send("PLAY 19,19");
  EXPECT_EQ(reply(), "19,19");
}

using ProtocolMatching = EngineSession;

TEST_F(ProtocolMatching, KeywordsIgnoreLetterCase) {
  for (const char* start : {"start 10", "START 10", "Start 10", "sTaRt 10"}) {
    send(start);
    EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"})) << start;
  }
  send_all({"play 9,9", "Play 10,10", "aBoUt"});
  EXPECT_EQ(reply(), "9,9");
  EXPECT_EQ(reply(), "ERROR bad coordinates");
  EXPECT_EQ(reply().rfind(ABOUT_LINE_START, 0), 0u);
}

TEST_F(ProtocolMatching, KeywordIsMatchedAsPrefix) {
  send("START 10");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  // "STARTX 15" is START with the argument "X 15": no number, so the size stays 10.
  send("STARTX 15");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  send_all({"PLAY 9,9", "PLAY 10,10", "ABOUTNESS"});
  EXPECT_EQ(reply(), "9,9");
  EXPECT_EQ(reply(), "ERROR bad coordinates");
  EXPECT_EQ(reply().rfind(ABOUT_LINE_START, 0), 0u);
}

TEST_F(ProtocolMatching, UnmatchedLinesAreUnknown) {
  // Too short for any keyword, an empty line, white space first, a stray "done".
  send_all({"STAR", "", " START 15", "HELLO", "done", "zr", "RECT 15,15"});
  EXPECT_EQ(lines_before_sync(), Lines(7, "UNKNOWN command"));
}

using ProtocolLineReading = EngineSession;

// A 9000-character PLAY line whose second number sits at index digit_at.
std::string long_play_line(size_t digit_at) {
  std::string line = "PLAY 7,";
  line.append(digit_at - line.size(), ' ');
  line.push_back('8');
  line.append(9000 - line.size(), 'x');
  return line;
}

TEST_F(ProtocolLineReading, LongLineIsCutTo8191CharactersAndDispatchedOnce) {
  send("START 15");
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
  // Index 8190 is the last character kept; the rest of the line is dropped, not read
  // as a second command.
  send(long_play_line(8190));
  EXPECT_EQ(lines_before_sync(), Lines{"7,8"});
  send(long_play_line(8191));
  EXPECT_EQ(lines_before_sync(), Lines{"ERROR bad coordinates"});
}

TEST_F(ProtocolLineReading, CarriageReturnBeforeNewlineIsDropped) {
  ASSERT_TRUE(engine.send_raw(
      "START 15\r\nPLAY 7,7\r\nzrboard\r\n8,8,2\r\nDone\r\nTAKEBACK 8,8\r\n\r\nABOUT\r\n"));
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  EXPECT_EQ(reply(), "7,7");
  // "Done\r" ended the block without the block error; the CR-only line is empty.
  EXPECT_EQ(reply(), "OK");
  EXPECT_EQ(reply(), "UNKNOWN command");
  const std::string about = reply();
  EXPECT_EQ(about.rfind(ABOUT_LINE_START, 0), 0u);
  EXPECT_EQ(about.back(), '"');
}

using ProtocolInfo = EngineSession;

TEST_F(ProtocolInfo, SettingsAreAcceptedSilently) {
  send_all({"INFO max_memory 83886080", "INFO timeout_match 180000", "INFO timeout_turn 5000",
            "INFO time_left 100000", "INFO game_type 0", "INFO max_depth 30", "INFO max_node -1",
            "INFO caution_factor 2", "INFO hash_size 0", "INFO hash_size abc", "INFO show_detail 1",
            "INFO rule 1", "INFO folder /tmp/zerin data", "info TIMEOUT_TURN 300",
            "INFO foo 3", "INFO", "INFO rule"});
  EXPECT_EQ(lines_before_sync(), Lines{});
}

TEST_F(ProtocolInfo, SettingsOutliveAGame) {
  // max_node -1 set before the first game still holds after START and RESTART: the
  // search runs until it is stopped.
  send_all({"INFO max_node -1", "INFO timeout_turn 1", "START 15", "RESTART", "TURN 7,7"});
  EXPECT_EQ(engine.read_until([](const std::string& l) { return l == "OK"; }).lines.size(), 2u);
  EXPECT_EQ(engine.read_until([](const std::string& l) { return l == "OK"; }).lines.size(), 2u);
  // The rule line may come; a move must not come until zrstop.
  for (const std::string& line : engine.read_until_quiet(Millis(300), Millis(600)))
    EXPECT_FALSE(is_move(line)) << line;
  send("zrstop");
  next_move();
}

using ProtocolExit = EngineSession;

TEST_F(ProtocolExit, EndExitsWithStatusZero) {
  send_all({"START 15", "END"});
  EXPECT_EQ(engine.wait_exit(), 0);
  EXPECT_EQ(engine.read_line(), GREETING);
  EXPECT_EQ(engine.read_line(), "OK");
  EXPECT_EQ(engine.read_line(), std::nullopt);
}

TEST_F(ProtocolExit, EndIsMatchedAsPrefixToo) {
  send("ending");
  EXPECT_EQ(engine.wait_exit(), 0);
}

TEST_F(ProtocolExit, EndOfInputExitsWithStatusZero) {
  send("START 15");
  engine.close_input();
  EXPECT_EQ(engine.wait_exit(), 0);
}

TEST_F(ProtocolExit, UnfinishedLastLineIsNotCarriedOut) {
  ASSERT_TRUE(engine.send_raw("ABOUT"));
  engine.close_input();
  EXPECT_EQ(engine.wait_exit(), 0);
  EXPECT_EQ(engine.read_line(), std::nullopt);
}

}  // namespace
}  // namespace zerin_test
