// INFO thread_num: decisions with helper threads answer like any other, stop at once,
// and the pool of helpers follows the setting from decision to decision.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "protocol/protocol_fixture.h"

namespace zerin_test {
namespace {

using ProtocolThreads = EngineSession;

// The greeting and OK of a START; a thread count above the machine's hardware threads is
// announced before them.
void expect_greeting(EngineSession& s) {
  EngineProcess::Collected c = s.engine.read_until([](const std::string& l) { return l == "OK"; });
  ASSERT_TRUE(c.matched) << "no OK";
  ASSERT_GE(c.lines.size(), 2u);
  EXPECT_EQ(c.lines[c.lines.size() - 2], GREETING);
  for (size_t i = 0; i + 2 < c.lines.size(); ++i)
    EXPECT_EQ(c.lines[i].rfind("MESSAGE thread_num ", 0), 0u) << c.lines[i];
}

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
  expect_greeting(*this);
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
  expect_greeting(*this);
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

// From the plain summary "MESSAGE share | depth | reached | T ms | ..." the depth, and
// from the best line "MESSAGE [x,y] [x,y] ..." (cells counted from 1) its first cell as
// a reply reads ("x,y" from 0); -1 and "" when missing.
struct DecisionReport {
  int depth = -1;
  std::string first_of_line;
};

DecisionReport read_report(const Lines& before) {
  DecisionReport r;
  for (size_t i = 0; i < before.size(); ++i) {
    int depth = 0;
    if (std::sscanf(before[i].c_str(), "MESSAGE %*f | %d |", &depth) != 1) continue;
    r.depth = depth;
    int x = 0, y = 0;
    if (i + 1 < before.size() && std::sscanf(before[i + 1].c_str(), "MESSAGE [%d,%d]", &x, &y) == 2)
      r.first_of_line = std::to_string(x - 1) + "," + std::to_string(y - 1);
  }
  return r;
}

// With helpers the decision may be a helper's iteration rather than the search thread's
// (whichever thread completes the last depth first, or the deepest complete one when the
// time runs out): either way the reply is a free cell and the first move of the reported
// line, and a fixed depth is reported as that depth. Middle-game positions, which the
// threads search to the end rather than stopping at a decided value or a forced block.
TEST_F(ProtocolThreads, ADecisionTakenFromAnyThreadIsConsistent) {
  const std::vector<std::string> positions = {
      "7,7;8,6;9,7;8,7;8,8;9,9;10,6;11,5;9,4;9,5;10,5;10,4",
      "7,7;8,6;9,7;8,7;8,8;9,9;10,6;11,5;9,4;9,5;10,5;10,4;11,6;12,7;12,6;13,6;7,8;7,9;8,9;9,8;9,10;6,7;10,11;"
      "11,12;10,9;8,11;5,4;8,3;6,5;6,6",
      "7,7;8,6;9,7;8,7;8,8;9,9;10,6;11,5;9,4;9,5;10,5;10,4;11,6;12,7;12,6;13,6;7,8;7,9;8,9;9,8;9,10;6,7;10,11;"
      "11,12;10,9;8,11;5,4;8,3;6,5;6,6;8,4;5,8;7,6;7,4;4,5;4,3;10,10;10,8;5,5;3,5;8,10;11,10;4,6",
  };
  constexpr int DEPTH = 7;
  send_all({"INFO thread_num 2", "INFO hash_size 65536", "START 15"});
  expect_greeting(*this);
  for (int timed = 0; timed < 2; ++timed) {
    if (timed == 0)
      send_all({"INFO max_node -1", "INFO max_depth " + std::to_string(DEPTH)});
    else
      send_all({"INFO max_node 1000000000", "INFO max_depth 100", "INFO timeout_turn 150"});
    for (int round = 0; round < 2; ++round)
      for (const std::string& record : positions) {
        std::vector<std::string> moves;
        for (size_t from = 0; from < record.size();) {
          const size_t to = std::min(record.find(';', from), record.size());
          moves.push_back(record.substr(from, to - from));
          from = to + 1;
        }
        send("RESTART");
        EXPECT_EQ(reply(), GREETING);
        EXPECT_EQ(reply(), "OK");
        send("BOARD");
        std::set<std::string> stones;
        for (size_t k = 0; k < moves.size(); ++k) {
          // The side to move owns the stones of its parity.
          send(moves[k] + "," + ((moves.size() - k) % 2 == 0 ? "1" : "2"));
          stones.insert(moves[k]);
        }
        Lines before;
        send("DONE");
        const std::string move = next_move(&before, SLOW_REPLY_TIMEOUT);
        ASSERT_TRUE(is_move(move)) << move;
        EXPECT_EQ(stones.count(move), 0u) << "a taken cell: " << move;
        const DecisionReport report = read_report(before);
        if (timed == 0) {
          EXPECT_EQ(report.depth, DEPTH) << record;
        } else {
          EXPECT_GE(report.depth, 1) << record;
        }
        EXPECT_EQ(report.first_of_line, move) << record;
      }
  }
}

// The BOARD lines of a record "x,y;x,y;...", the side to move owning its parity's stones.
std::vector<std::string> board_lines(const std::string& record) {
  std::vector<std::string> moves;
  for (size_t from = 0; from < record.size();) {
    const size_t to = std::min(record.find(';', from), record.size());
    moves.push_back(record.substr(from, to - from));
    from = to + 1;
  }
  std::vector<std::string> lines = {"BOARD"};
  for (size_t k = 0; k < moves.size(); ++k) lines.push_back(moves[k] + "," + ((moves.size() - k) % 2 == 0 ? "1" : "2"));
  lines.push_back("DONE");
  return lines;
}

// Back to one thread after decisions with helpers, nothing of theirs is taken: a shallow
// decision reports its own depth, move and line, as a fresh engine's does.
TEST_F(ProtocolThreads, OneThreadAfterHelpersDecidesAsAFreshEngine) {
  const std::string deep = "7,7;8,6;9,7;8,7;8,8;9,9;10,6;11,5;9,4;9,5;10,5;10,4";
  const std::string shallow = "7,7;5,8;9,9;8,8;9,7;6,7;7,6;9,8;8,6;7,5;10,8;6,8;3,3;11,11";
  send_all({"INFO thread_num 2", "INFO max_node -1", "INFO max_depth 7", "INFO hash_size 65536", "START 15"});
  expect_greeting(*this);
  send_all(board_lines(deep));
  ASSERT_TRUE(is_move(next_move(nullptr, SLOW_REPLY_TIMEOUT)));
  send_all({"INFO thread_num 1", "INFO max_depth 2", "RESTART"});
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  Lines before;
  send_all(board_lines(shallow));
  const std::string move = next_move(&before, SLOW_REPLY_TIMEOUT);
  const DecisionReport report = read_report(before);

  EngineProcess fresh;
  for (const char* line : {"INFO max_node -1", "INFO max_depth 2", "INFO hash_size 65536", "START 15"})
    ASSERT_TRUE(fresh.send(line));
  ASSERT_TRUE(fresh.read_until([](const std::string& l) { return l == "OK"; }).matched);
  for (const std::string& line : board_lines(shallow)) ASSERT_TRUE(fresh.send(line));
  EngineProcess::Collected c = fresh.read_until(is_move, SLOW_REPLY_TIMEOUT);
  ASSERT_TRUE(c.matched);
  const std::string fresh_move = c.lines.back();
  c.lines.pop_back();
  const DecisionReport fresh_report = read_report(c.lines);
  EXPECT_EQ(move, fresh_move);
  EXPECT_EQ(report.depth, fresh_report.depth);
  EXPECT_EQ(report.first_of_line, fresh_report.first_of_line);
}

}  // namespace
}  // namespace zerin_test

namespace zerin_test {
namespace {

// A manager may ask for more threads than the machine has: thread_num 32 on 8 cores, or
// threads that a server's long time slices keep waiting. The count is held to the
// hardware's threads (announced), and the reply does not wait for helpers the system has
// not run yet: every reply comes within its limit. The most threads there can be.
TEST_F(ProtocolThreads, RepliesKeepTheirTimeWithMoreThreadsThanTheMachineHas) {
  SKIP_TIMING_UNDER_ENGINE_COMMAND();
  SKIP_TIGHT_TIMING_UNDER_SANITIZERS();
  const int hardware = static_cast<int>(std::thread::hardware_concurrency());
  const int asked = 64;
  constexpr int TURN_MS = 100;
  send_all({"INFO thread_num " + std::to_string(asked), "INFO timeout_turn " + std::to_string(TURN_MS),
            "INFO hash_size 65536", "START 15"});
  const Lines start = lines_before_sync();
  ASSERT_GE(start.size(), 2u);
  if (hardware > 0 && hardware < asked) {
    EXPECT_EQ(start[0], "MESSAGE thread_num " + std::to_string(asked) + " is more than the " +
                            std::to_string(hardware) + " hardware threads, using " + std::to_string(hardware));
  }
  std::set<std::string> taken;
  Millis worst{0};
  for (int turn = 0; turn < 12; ++turn) {
    const ThreadWaits waits = engine.processor_waits();
    const Clock::time_point sent = Clock::now();
    send("TURN " + next_cell(taken));
    const std::string move = next_move();
    ASSERT_TRUE(is_move(move)) << move;
    taken.insert(move);
    const Millis delay = std::chrono::duration_cast<Millis>(engine.last_line_arrival() - sent) -
                         engine.reply_path_wait_since(waits);
    worst = std::max(worst, delay);
    EXPECT_LE(delay, Millis(TURN_MS)) << "reply " << turn;
  }
  std::printf("thread_num %d: worst reply %lld ms (less the waits for a processor)\n", asked,
              static_cast<long long>(worst.count()));
}

// The engine's VmSize (its address space) in bytes, or -1.
int64_t address_space_bytes(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmSize:", 0) == 0) return std::stoll(line.substr(7)) * 1024;
  return -1;
}

// A helper that cannot be had (its memory, or a thread for it) must not end the process:
// the decision goes on with the helpers there are, and says so. An engine whose address
// space leaves room for its tables but not for a helper's 14 MiB tries two threads.
TEST(ProtocolThreadsShortOfMemory, AHelperThatCannotStartLeavesTheDecisionToTheOthers) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory needs an address space without a limit";
#endif
  if (engine_command_from_environment()) GTEST_SKIP() << "the address-space limit is set for a Linux engine";
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one hardware thread: no helper is tried";
  // A node budget ends the decisions; the long turn lets the first one add its helper.
  const std::vector<std::string> setup = {"INFO hash_size 4096", "INFO timeout_turn 5000", "INFO max_node 8",
                                          "START 15"};
  // What the engine takes with one thread after a decision.
  int64_t single = -1;
  {
    EngineProcess probe;
    ASSERT_TRUE(probe.started());
    for (const std::string& line : setup) probe.send(line);
    probe.send("TURN 7,7");
    ASSERT_TRUE(probe.read_until(is_move).matched);
    single = address_space_bytes(probe.pid());
  }
  ASSERT_GT(single, 0) << "no /proc status for the engine";
  const int64_t limit_kib = (single + (int64_t{8} << 20)) / 1024;
  EngineProcess engine(std::vector<std::string>{
      "/bin/sh", "-c", "ulimit -v " + std::to_string(limit_kib) + " && exec " + std::string(ZERIN_ENGINE_PATH)});
  ASSERT_TRUE(engine.started());
  for (const std::string& line : setup) engine.send(line);
  engine.send("INFO thread_num 2");
  engine.send("TURN 7,7");
  const EngineProcess::Collected c = engine.read_until(is_move);
  ASSERT_TRUE(c.matched) << "no move: the engine ended (exit status "
                         << engine.wait_exit(Millis(1000)).value_or(-1) << ")";
  bool announced = false;
  for (const std::string& line : c.lines)
    announced |= line == "MESSAGE could not start another helper thread, searching with 1 threads";
  EXPECT_TRUE(announced);
  engine.send("TURN 9,9");
  EXPECT_TRUE(engine.read_until(is_move).matched) << "the next decision too";
  engine.send("END");
  EXPECT_EQ(engine.wait_exit(), 0);
}

}  // namespace
}  // namespace zerin_test
