// The helper's own promises: reads give up on time, and a running engine is killed.
#include <gtest/gtest.h>

#include <chrono>

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
  EXPECT_LT(Clock::now() - start, Millis(5000));
}

TEST(ProtocolEngineProcess, MissingProgramIsReportedNotStarted) {
  EngineProcess engine("/nonexistent/pbrain-none");
  EXPECT_FALSE(engine.started());
  EXPECT_FALSE(engine.send("ABOUT"));
  EXPECT_EQ(engine.read_line(Millis(10)), std::nullopt);
}

}  // namespace
}  // namespace zerin_test
