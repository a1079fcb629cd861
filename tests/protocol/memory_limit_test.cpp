// INFO max_memory: the hash tables shrink so that the whole process stays within the
// limit, measured as the engine process's resident size on Linux.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

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

// An engine whose resident size the test reads, as Linux counts it.
class MeasuredEngine : public EngineSession {
 protected:
  void SetUp() override {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory is no part of the engine's footprint";
#endif
    if (engine_command_from_environment()) GTEST_SKIP() << "the engine command's own memory (Wine, node) is no part of the engine's footprint";
    EngineSession::SetUp();
    if (status_bytes(engine.pid(), "VmHWM") < 0) GTEST_SKIP() << "no /proc status for the engine process";
  }

  int64_t status(const char* field) { return status_bytes(engine.pid(), field); }
};

class ProtocolMemoryLimit : public MeasuredEngine, public ::testing::WithParamInterface<LimitCase> {
 protected:
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

namespace zerin_test {
namespace {

// The buckets a game used: hash_size, or the last count a MESSAGE line gave instead
// ("... hash buckets, using B" or "hash_size H ..., using B").
int64_t buckets_used(const Lines& lines, int64_t hash_size) {
  int64_t used = hash_size;
  for (const std::string& line : lines) {
    const size_t at = line.rfind(", using ");
    if (line.rfind("MESSAGE", 0) == 0 && at != std::string::npos && line.find("thread") == std::string::npos)
      used = std::stoll(line.substr(at + 8));
  }
  return used;
}

struct ThreadsAndLimit {
  int threads;
  int64_t limit;
};

class ProtocolMemoryLimitWithThreads : public MeasuredEngine,
                                       public ::testing::WithParamInterface<ThreadsAndLimit> {};

// Helper threads take 14.2 MiB each, counted at that full size. With many of them a
// limit must not leave the tables with nothing (it did: one bucket from 6 threads at
// 100000000 bytes): fewer helpers run, announced, and the tables keep at least 16384
// buckets (6 MiB), what a 32 MiB limit gives one thread. The peak resident size of a
// decision with the helpers there are stays within the limit.
TEST_P(ProtocolMemoryLimitWithThreads, TablesKeepTheirFloorAndThePeakStaysWithinTheLimit) {
  const auto [threads, limit] = GetParam();
  send_all({"INFO thread_num " + std::to_string(threads), "INFO max_memory " + std::to_string(limit), "START 20",
            "INFO timeout_turn 300", "TURN 10,10"});
  const EngineProcess::Collected first = engine.read_until(is_move, SLOW_REPLY_TIMEOUT);
  ASSERT_TRUE(first.matched);
  Lines before(first.lines.begin(), first.lines.end() - 1);  // the greeting and OK among them
  send(first.lines.back() == "9,9" ? "TURN 8,12" : "TURN 9,9");
  Lines second;
  next_move(&second, SLOW_REPLY_TIMEOUT);
  before.insert(before.end(), second.begin(), second.end());
  const int64_t peak = status("VmHWM");
  const int64_t buckets = buckets_used(before, 524288);
  std::printf("thread_num %d, max_memory %lld: %lld buckets, peak resident %.1f MiB\n", threads,
              static_cast<long long>(limit), static_cast<long long>(buckets), static_cast<double>(peak) / MIB);
  EXPECT_LE(peak, limit);
  EXPECT_GE(buckets, 16384);
}

INSTANTIATE_TEST_SUITE_P(Matrix, ProtocolMemoryLimitWithThreads,
                         ::testing::Values(ThreadsAndLimit{2, 32 * MIB}, ThreadsAndLimit{8, 32 * MIB},
                                           ThreadsAndLimit{2, 64 * MIB}, ThreadsAndLimit{8, 64 * MIB},
                                           ThreadsAndLimit{4, 100000000}, ThreadsAndLimit{8, 100000000},
                                           ThreadsAndLimit{64, 100000000}, ThreadsAndLimit{64, 350000000}));

using ProtocolHashSize = EngineSession;

// Buckets are picked by masking a key with the count less one, so a count that is not a
// power of two uses only the buckets its bits reach: hash_size 1000000 took 366 MiB and
// used 4096 buckets. It is rounded down, and said so, before the greeting.
TEST_F(ProtocolHashSize, ACountThatIsNoPowerOfTwoIsRoundedDown) {
  send_all({"INFO hash_size 1000000", "START 15"});
  EXPECT_EQ(lines_before_sync(),
            (Lines{"MESSAGE hash_size 1000000 is not a power of two, using 524288", GREETING, "OK"}));
  send_all({"INFO hash_size 65536", "RESTART"});  // a power of two: as asked, nothing said
  EXPECT_EQ(lines_before_sync(), (Lines{GREETING, "OK"}));
}

// Without max_memory a mapping succeeds whatever its size, and faulting in tables larger
// than the machine would swap it or bring in its out-of-memory killer: they are held to
// half the physical memory, said so before the greeting.
TEST_F(ProtocolHashSize, WithoutALimitTheTablesTakeAtMostHalfTheMemory) {
  const int64_t memory = static_cast<int64_t>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE);
  if (memory <= 0) GTEST_SKIP() << "the system does not tell its memory";
  send_all({"INFO hash_size 2147483647", "START 15"});
  const Lines lines = lines_before_sync();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "MESSAGE hash_size 2147483647 is not a power of two, using 1073741824");
  // The memory the engine names is the machine's, or under another engine command (node)
  // what that host lets the engine have.
  long long named_mib = 0, buckets = 0;
  ASSERT_EQ(std::sscanf(lines[1].c_str(),
                        "MESSAGE hash_size 1073741824 needs more than half of the %lld MiB of memory, using %lld",
                        &named_mib, &buckets),
            2)
      << lines[1];
  if (!engine_command_from_environment()) {
    EXPECT_EQ(named_mib, memory >> 20);
  }
  const int64_t named = static_cast<int64_t>(named_mib) << 20;
  EXPECT_EQ(buckets & (buckets - 1), 0) << buckets;
  EXPECT_LE(buckets * 384, named / 2);
  EXPECT_GT(buckets * 2 * 384, named / 2 - (int64_t{2} << 20));
  EXPECT_EQ(lines[2], GREETING);
  send("END");  // before the tables are faulted in
  EXPECT_EQ(engine.wait_exit(), 0);
}

}  // namespace
}  // namespace zerin_test
