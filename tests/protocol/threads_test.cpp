// INFO thread_num: decisions with helper threads answer like any other, stop at once,
// and the pool of helpers follows the setting from decision to decision.
#include <chrono>
#include <set>
#include <string>

#include "protocol/protocol_fixture.h"

namespace zerin_test {
namespace {

using ProtocolThreads = EngineSession;

// The opponent's next move: the first free cell of a fixed list.
std::string next_cell(std::set<std::string>& taken) {
  for (int x = 4; x < 11; ++x)
    for (int y = 4; y < 11; ++y) {
      const std::string cell = std::to_string(x) + "," + std::to_string(y);
      if (taken.insert(cell).second) return cell;
    }
  return "0,0";
}

// Short decisions, each with helpers started and stopped, the thread count changing on
// the way (the pool grows, shrinks and grows again), through a new game and hash clears.
TEST_F(ProtocolThreads, ManyShortDecisionsWithAChangingThreadCount) {
  send_all({"INFO max_node 8", "INFO hash_size 4096", "START 15"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  std::set<std::string> taken;
  for (int turn = 0; turn < 16; ++turn) {
    if (turn == 8) {
      send("RESTART");
      EXPECT_EQ(reply(), GREETING);
      EXPECT_EQ(reply(), "OK");
      taken.clear();
    }
    send("INFO thread_num " + std::to_string(1 + (turn * 3) % 4));
    if (turn % 3 == 2) send("zrhashclear");
    send("TURN " + next_cell(taken));
    const std::string move = next_move();
    ASSERT_TRUE(is_move(move)) << move;
    EXPECT_TRUE(taken.insert(move).second) << "the engine played a taken cell: " << move;
  }
}

// Without limits only zrstop ends the search; with four threads it still answers at
// once, and the next request finds every helper stopped.
TEST_F(ProtocolThreads, StopEndsEveryThread) {
  send_all({"INFO thread_num 4", "INFO max_node -1", "INFO hash_size 4096", "START 15", "TURN 7,7"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  for (const std::string& line : engine.read_until_quiet(Millis(300)))
    EXPECT_FALSE(is_move(line)) << "the search runs until stopped";
  const auto stopped = std::chrono::steady_clock::now();
  send("zrstop");
  EXPECT_TRUE(is_move(next_move()));
  if (!engine_command_from_environment()) {
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::milliseconds(2000));
  }
  send_all({"INFO max_node 8", "TURN 9,9"});
  EXPECT_TRUE(is_move(next_move()));
  send("END");
  EXPECT_EQ(engine.wait_exit(), 0);
}

// The helpers count in the reports' node totals and write no lines of their own; their
// realtime lines stay the search thread's.
TEST_F(ProtocolThreads, OnlyTheSearchThreadReports) {
  send_all({"INFO thread_num 3", "INFO max_node 200", "INFO max_depth 9", "INFO show_detail 1", "INFO hash_size 4096",
            "START 15", "BOARD", "7,7,2", "7,8,1", "8,8,2", "done"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  Lines before;
  ASSERT_TRUE(is_move(next_move(&before, SLOW_REPLY_TIMEOUT)));
  int refresh = 0, summaries = 0;
  for (const std::string& line : before) {
    refresh += line == "MESSAGE REALTIME REFRESH";
    summaries += line.rfind("MESSAGE Complexity:", 0) == 0;
  }
  EXPECT_EQ(summaries, 1);
  // One REFRESH per root iteration from depth 8 on, at most depths 8 and 9.
  EXPECT_LE(refresh, 2);
}

}  // namespace
}  // namespace zerin_test
