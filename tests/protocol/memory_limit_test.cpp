// INFO max_memory: the hash tables shrink so that the whole process stays within the
// limit, measured as the engine process's resident size on Linux.
#include <fstream>
#include <set>
#include <sstream>

#include "protocol/protocol_fixture.h"

namespace zerin_test {
namespace {

constexpr int64_t MIB = 1 << 20;

// A field of /proc/PID/status in bytes ("VmHWM", "VmRSS"), or -1.
int64_t status_bytes(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(field + ":", 0) != 0) continue;
    std::istringstream value(line.substr(field.size() + 1));
    int64_t kib = -1;
    value >> kib;
    return kib * 1024;
  }
  return -1;
}

struct LimitCase {
  int64_t limit;
  const char* message;  // the line that announces smaller tables, if any
};

class ProtocolMemoryLimit : public EngineSession, public ::testing::WithParamInterface<LimitCase> {
 protected:
  void SetUp() override {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory is no part of the engine's footprint";
#endif
    if (engine_command_from_environment()) GTEST_SKIP() << "the engine command's own memory (Wine, node) is no part of the engine's footprint";
    EngineSession::SetUp();
    if (status_bytes(engine.pid(), "VmHWM") < 0) GTEST_SKIP() << "no /proc status for the engine process";
  }

  // Some moves of a game with decisions and both balance searches: every kind of storage
  // the engine touches, next to the tables. The opponent takes the first cells of its
  // list that are still free.
  void play_some_moves() {
    send("INFO timeout_turn 150");
    for (int move = 0; move < 3; ++move) {
      if (move == 2) {
        send_all({"zrbalanceone", "zrbalancetwo"});
        for (int i = 0; i < 2; ++i)
          EXPECT_TRUE(
              engine
                  .read_until([](const std::string& l) { return l.rfind("MESSAGE DETAIL (BALANCE)", 0) == 0; },
                              SLOW_REPLY_TIMEOUT)
                  .matched);
      }
      std::string cell;
      for (const char* c : {"10,10", "9,9", "12,8", "8,12", "11,6", "6,11"})
        if (taken.insert(c).second) {
          cell = c;
          break;
        }
      send("TURN " + cell);
      taken.insert(next_move());
    }
  }

  std::set<std::string> taken;

  int64_t status(const char* field) { return status_bytes(engine.pid(), field); }
};

// The limit comes first, as from a manager that announces its limits before START: the
// peak resident size of the whole game stays within it.
TEST_P(ProtocolMemoryLimit, PeakStaysWithinALimitSentBeforeStart) {
  const LimitCase& c = GetParam();
  send_all({"INFO max_memory " + std::to_string(c.limit), "START 20"});
  if (c.message != nullptr) {
    EXPECT_EQ(reply(), c.message);
  }
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  play_some_moves();
  const int64_t peak = status("VmHWM");
  EXPECT_LE(peak, c.limit);
  RecordProperty("peak_bytes", std::to_string(peak));
  std::printf("max_memory %lld: peak resident %.1f MiB\n", static_cast<long long>(c.limit),
              static_cast<double>(peak) / MIB);
}

// The default tables take 192 MiB; the managers' usual 350 MB leaves them as they are.
INSTANTIATE_TEST_SUITE_P(
    Limits, ProtocolMemoryLimit,
    ::testing::Values(LimitCase{32 * MIB, "MESSAGE max_memory 33554432 too small for 524288 hash buckets, using 16384"},
                      LimitCase{64 * MIB, "MESSAGE max_memory 67108864 too small for 524288 hash buckets, using 65536"},
                      LimitCase{100000000, "MESSAGE max_memory 100000000 too small for 524288 hash buckets, using 131072"},
                      LimitCase{350000000, nullptr}));

using ProtocolMemoryLimitLate = ProtocolMemoryLimit;

// A limit that comes after START (as GomocupJudge sends it) finds the default tables
// made ready for the game; they shrink before the first search, which announces it.
TEST_F(ProtocolMemoryLimitLate, TablesShrinkBeforeTheFirstSearch) {
  send("START 20");
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
  send_all({"INFO max_memory 33554432", "INFO timeout_turn 150", "TURN 5,5"});
  Lines before;
  taken = {"5,5", next_move(&before)};
  ASSERT_GE(before.size(), 2u);
  EXPECT_EQ(before[0], "MESSAGE Rule Gomoku (Freestyle)");
  EXPECT_EQ(before[1], "MESSAGE max_memory 33554432 too small for 524288 hash buckets, using 16384");
  EXPECT_LE(status("VmRSS"), 32 * MIB);
  play_some_moves();
  EXPECT_LE(status("VmRSS"), 32 * MIB);
  // The next game keeps the smaller tables without announcing them again.
  send("START 20");
  EXPECT_EQ(reply(), GREETING);
  EXPECT_EQ(reply(), "OK");
}

}  // namespace
}  // namespace zerin_test
