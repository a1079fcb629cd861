// The helper's own promises: reads give up on time, and a running engine is killed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "support/engine_process.h"

namespace zerin_test {
namespace {

using Clock = std::chrono::steady_clock;

TEST(ProtocolEngineProcess, ReadsAndWaitsGiveUpWhenTheEngineIsSilent) {
  EngineProcess engine;
  ASSERT_TRUE(engine.started());
  const auto start = Clock::now();
  EXPECT_EQ(engine.read_line(Millis(50)), std::nullopt);
  EXPECT_FALSE(engine.read_until([](const std::string&) { return true; }, Millis(50)).matched);
  EXPECT_TRUE(engine.read_until_quiet(Millis(50)).empty());
  EXPECT_EQ(engine.wait_exit(Millis(50)), std::nullopt);
  EXPECT_TRUE(engine.running());
  EXPECT_LT(Clock::now() - start, Millis(2000));
}

TEST(ProtocolEngineProcess, DestructionKillsASearchingEngine) {
  const auto start = Clock::now();
  {
    EngineProcess engine;
    ASSERT_TRUE(engine.send("INFO max_node -1"));
    ASSERT_TRUE(engine.send("TURN 7,7"));
    ASSERT_EQ(engine.read_line(), "MESSAGE Zerin 2015 Kernal 0.4.47 :-)");
  }
  // Under ZERIN_ENGINE_COMMAND (Wine, node) the bound would mostly time Wine's start-up; there
  // the kill is shown by the destructor returning at all, since it waits for the child
  // and for the end of its output.
  if (!engine_command_from_environment()) {
    EXPECT_LT(Clock::now() - start, Millis(5000));
  }
}

TEST(ProtocolEngineProcess, MissingProgramIsReportedNotStarted) {
  EngineProcess engine("/nonexistent/pbrain-none");
  EXPECT_FALSE(engine.started());
  EXPECT_FALSE(engine.send("ABOUT"));
  EXPECT_EQ(engine.read_line(Millis(10)), std::nullopt);
}

// Sets ZERIN_ENGINE_COMMAND for one test and puts back what was there before.
class EngineCommandVariable {
 public:
  explicit EngineCommandVariable(const char* value) {
    if (const char* old = std::getenv(NAME)) saved_ = old;
    if (value != nullptr)
      ::setenv(NAME, value, 1);
    else
      ::unsetenv(NAME);
  }
  ~EngineCommandVariable() {
    if (saved_)
      ::setenv(NAME, saved_->c_str(), 1);
    else
      ::unsetenv(NAME);
  }

 private:
  static constexpr const char* NAME = "ZERIN_ENGINE_COMMAND";
  std::optional<std::string> saved_;
};

TEST(ProtocolEngineProcess, CommandFromTheEnvironmentIsSplitOnBlanks) {
  const std::vector<std::string> own{ZERIN_ENGINE_PATH};
  {
    EngineCommandVariable v(nullptr);
    EXPECT_EQ(engine_command(), own);
    EXPECT_FALSE(engine_command_from_environment());
  }
  {
    EngineCommandVariable v(" \t ");
    EXPECT_EQ(engine_command(), own);
    EXPECT_FALSE(engine_command_from_environment());
  }
  {
    EngineCommandVariable v("  /usr/lib/wine/wine64 \t/w/build-windows/pbrain-zerin.exe  ");
    EXPECT_EQ(engine_command(),
              (std::vector<std::string>{"/usr/lib/wine/wine64", "/w/build-windows/pbrain-zerin.exe"}));
    EXPECT_TRUE(engine_command_from_environment());
  }
}

// printf (found on PATH) stands in for an engine: it writes CR LF lines, one with a
// second CR, and exits.
TEST(ProtocolEngineProcess, OneCarriageReturnIsDroppedOnlyForACommandFromTheEnvironment) {
  const char* format = "one\\r\\ntwo\\r\\r\\nthree\\n";
  {
    EngineCommandVariable v((std::string("printf ") + format).c_str());
    EngineProcess engine;
    ASSERT_TRUE(engine.started());
    EXPECT_EQ(engine.read_line(), "one");
    EXPECT_EQ(engine.read_line(), "two\r");
    EXPECT_EQ(engine.read_line(), "three");
    EXPECT_EQ(engine.wait_exit(), 0);
  }
  {
    EngineCommandVariable v(nullptr);
    EngineProcess engine(std::vector<std::string>{"printf", format});
    ASSERT_TRUE(engine.started());
    EXPECT_EQ(engine.read_line(), "one\r");
    EXPECT_EQ(engine.read_line(), "two\r\r");
    EXPECT_EQ(engine.read_line(), "three");
  }
}

}  // namespace
}  // namespace zerin_test
