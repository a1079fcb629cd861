// Shared set-up for the protocol tests: one engine process per test, and the few reply
// shapes the tests look for.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/engine_process.h"

namespace zerin_test {

// Searches bounded by depth rather than time take several times longer in the
// sanitizer builds on a loaded machine.
constexpr Millis SLOW_REPLY_TIMEOUT{60000};

inline const char* const GREETING = "MESSAGE Zerin 2015 Kernal 0.4.47 :-)";
inline const char* const ABOUT_LINE_START = "name=\"Zerin\", author=\"Quendel\"";

// A move reply "x,y": two unsigned decimal numbers and a comma, nothing else.
inline bool is_move(const std::string& line) {
  const size_t comma = line.find(',');
  if (comma == std::string::npos || comma == 0 || comma + 1 == line.size()) return false;
  for (size_t i = 0; i < line.size(); ++i)
    if (i != comma && (line[i] < '0' || line[i] > '9')) return false;
  return true;
}

// Skips a test whose subject is wall-clock time (an answer or an exit within a bound, a
// clock reading in a report) when the engine under test is started through
// ZERIN_ENGINE_COMMAND: the Windows build under Wine and the WebAssembly build under node
// start, schedule and exit through Wine or node, whose timing tells nothing about the
// engine's own on Windows or in a page.
#define SKIP_TIMING_UNDER_ENGINE_COMMAND()                                                  \
  do {                                                                                      \
    if (::zerin_test::engine_command_from_environment())                                    \
      GTEST_SKIP() << "measures wall-clock time; not checked for ZERIN_ENGINE_COMMAND";     \
  } while (false)

// A sanitizer's build runs several times slower, and its runtime starts up inside the
// time measured: bounds of a few tens of milliseconds on the engine are not checked there,
// either for a whole test (SKIP_TIGHT_TIMING_UNDER_SANITIZERS) or for one check.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool SANITIZER_BUILD = true;
#else
constexpr bool SANITIZER_BUILD = false;
#endif
#define SKIP_TIGHT_TIMING_UNDER_SANITIZERS()                                 \
  do {                                                                     \
    if (::zerin_test::SANITIZER_BUILD)                                     \
      GTEST_SKIP() << "tight timing; not checked in a sanitizer's build"; \
  } while (false)

// Public, so that the tests' free helper functions can drive the session too.
class EngineSession : public ::testing::Test {
 public:
  EngineProcess engine;

  void SetUp() override { ASSERT_TRUE(engine.started()) << "cannot start " << describe_command(engine_command()); }

  // Every test ends with end of input; the engine must leave cleanly with status 0
  // (a sanitizer report in the engine would give another status).
  void TearDown() override {
    if (!engine.running()) return;
    engine.close_input();
    EXPECT_EQ(engine.wait_exit(), 0);
  }

  void send(const std::string& line) { ASSERT_TRUE(engine.send(line)) << line; }

  void send_all(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) send(line);
  }

  // The next line, or a marker that cannot be a reply when none came in time.
  std::string reply() { return engine.read_line().value_or("<no reply>"); }

  // Sends ABOUT and returns every line written before its answer. The command thread
  // answers in order, so this is exactly what the earlier commands wrote (apart from a
  // running search's lines).
  std::vector<std::string> lines_before_sync() {
    send("ABOUT");
    EngineProcess::Collected c =
        engine.read_until([](const std::string& l) { return l.rfind(ABOUT_LINE_START, 0) == 0; });
    EXPECT_TRUE(c.matched) << "no answer to ABOUT";
    if (c.matched) c.lines.pop_back();
    return c.lines;
  }

  // Reads up to and including the next move reply; MESSAGE lines before it are
  // returned in *before when asked for.
  std::string next_move(std::vector<std::string>* before = nullptr, Millis timeout = REPLY_TIMEOUT) {
    EngineProcess::Collected c = engine.read_until(is_move, timeout);
    EXPECT_TRUE(c.matched) << "no move reply";
    if (!c.matched) return "<no move>";
    std::string move = c.lines.back();
    c.lines.pop_back();
    for (const std::string& line : c.lines) EXPECT_EQ(line.rfind("MESSAGE", 0), 0u) << line;
    if (before) *before = std::move(c.lines);
    return move;
  }

  // A game of the given size; searches end after about 100 ms.
  void start_quick_game(const std::string& size = "15") {
    send_all({"INFO timeout_turn 100", "INFO hash_size 4096", "START " + size});
    EXPECT_EQ(reply(), GREETING);
    EXPECT_EQ(reply(), "OK");
  }
};

using Lines = std::vector<std::string>;

}  // namespace zerin_test
