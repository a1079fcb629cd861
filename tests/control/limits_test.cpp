#include "control/helpers.h"
#include "control/limits.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

#include "board/hash_tables.h"
#include "control/game.h"
#include "control/search_thread.h"
#include "protocol/game_commands.h"
#include "support/engine_setup.h"

using namespace zerin;
using namespace zerin_test;

namespace {

// The limits of the main worker's decision.
class Limit : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    reset();
  }
  // Default settings, an empty 15 by 15 board, 30 s per move, just started.
  static void reset() {
    settings.timeout_turn = 30000;
    settings.time_left = 1000000000;
    settings.max_node = 2000000000;
    settings.max_depth = 576;
    game.width = game.height = 15;
    game.count = 0;
    stop_flag = 0;
    worker.abort_flag = 0;
    worker.node_count = 0;
    worker.turn_limit = 30000;
    worker.decision_start = clock_ms();
  }
  static void elapsed(int32_t ms) { worker.decision_start = clock_ms() - ms; }
};

TEST_F(Limit, TurnLimit) {
  struct Case {
    int32_t timeout_turn, time_left, count, turn_limit;
    bool ample;
  };
  const Case cases[] = {
      {5000, 1000000000, 0, 5000, true},
      {30000, 64000, 0, 4000, false},
      {30000, 16000, 10, 1000, false},  // 16000 / 216 = 74 per remaining cell
      {30000, 15, 0, 0, true},
      {30000, -17, 0, -1, true},  // truncated toward zero
      {INT32_MAX, INT32_MAX, 0, INT32_MAX / 16, false},
      {INT32_MAX, INT32_MIN, 0, INT32_MIN / 16, true},
      {INT32_MIN, 0, 0, INT32_MIN, true},
      {10, 1000, 226, 10, true},  // a record longer than the board divides by 1
  };
  for (const Case& c : cases) {
    settings.timeout_turn = c.timeout_turn;
    settings.time_left = c.time_left;
    game.count = c.count;
    const bool ample = compute_turn_limit(worker);
    EXPECT_EQ(worker.turn_limit, c.turn_limit) << c.timeout_turn << " " << c.time_left;
    EXPECT_EQ(ample, c.ample) << c.timeout_turn << " " << c.time_left;
  }
}

TEST_F(Limit, SearchCheck) {
  EXPECT_TRUE(search_limit_check(worker));
  settings.max_node = 1000;  // budget first: node_count / 1024 > max_node
  worker.node_count = 1024 * 1001 - 1;
  EXPECT_TRUE(search_limit_check(worker));
  worker.node_count = 1024 * 1001;
  EXPECT_FALSE(search_limit_check(worker));
  EXPECT_EQ(worker.abort_flag, 1);

  reset();
  worker.turn_limit = 100000;  // then time, with a 30 ms margin
  elapsed(90000);
  EXPECT_TRUE(search_limit_check(worker));
  elapsed(99970);
  EXPECT_FALSE(search_limit_check(worker));

  reset();
  stop_flag = 1;
  EXPECT_FALSE(search_limit_check(worker));

  reset();
  settings.max_node = -1;  // neither budget nor time, only the stop flag
  worker.node_count = INT64_C(1) << 50;
  worker.turn_limit = -1000;
  EXPECT_TRUE(search_limit_check(worker));
  EXPECT_EQ(worker.abort_flag, 0);
  stop_flag = 1;
  EXPECT_FALSE(search_limit_check(worker));
}

TEST_F(Limit, NodeCountingAbortsAtFirstTestPastBudget) {
  settings.max_node = 1000;
  worker.turn_limit = INT32_MAX;
  while (enter_node(worker)) {
  }
  EXPECT_EQ(worker.node_count, 1024 * 1001);
  EXPECT_EQ(worker.abort_flag, 1);
}

TEST_F(Limit, SearchCheckArithmeticDoesNotWrap) {
  worker.decision_start = INT32_MIN;  // clock + 30 - decision_start needs more than 32 bits
  worker.turn_limit = INT32_MAX;
  EXPECT_FALSE(search_limit_check(worker));
  reset();
  worker.decision_start = INT32_MAX;
  worker.turn_limit = INT32_MIN;
  EXPECT_FALSE(search_limit_check(worker));
  reset();
  settings.max_node = INT32_MAX;
  worker.node_count = INT64_C(1024) * INT32_MAX;
  EXPECT_TRUE(search_limit_check(worker));
  worker.node_count = INT64_MAX;
  EXPECT_FALSE(search_limit_check(worker));
  settings.max_node = INT32_MIN;
  worker.node_count = 0;
  EXPECT_FALSE(search_limit_check(worker));
}

TEST_F(Limit, ThinkIterationStart) {
  elapsed(100000);  // iteration 1 ignores time, room and the stop flag
  game.count = 225;
  stop_flag = 1;
  EXPECT_TRUE(think_may_start_iteration(worker, 1, false));
  EXPECT_FALSE(think_may_start_iteration(worker, 2, false));
  settings.max_depth = 0;
  EXPECT_FALSE(think_may_start_iteration(worker, 1, false));

  reset();
  settings.time_left = 16000;  // turn_limit 1000, not ample
  game.count = 10;
  const bool ample = compute_turn_limit(worker);
  ASSERT_FALSE(ample);
  EXPECT_TRUE(think_may_start_iteration(worker, 2, ample));
  elapsed(250);
  EXPECT_FALSE(think_may_start_iteration(worker, 2, ample));
  EXPECT_TRUE(think_may_start_iteration(worker, 2, true));
  EXPECT_TRUE(think_may_start_iteration(worker, 215, true));  // count + d <= 225
  EXPECT_FALSE(think_may_start_iteration(worker, 216, true));
  settings.max_depth = 1;
  EXPECT_FALSE(think_may_start_iteration(worker, 2, true));

  reset();
  settings.max_node = 1000;  // a quarter of the budget, in whole units of 1024
  worker.node_count = 256000 - 1;
  EXPECT_TRUE(think_may_start_iteration(worker, 2, false));
  worker.node_count = 256000;
  EXPECT_FALSE(think_may_start_iteration(worker, 1, false));
  settings.max_node = 1000000000;  // not checked from 10^9 on
  worker.node_count = INT64_C(1) << 40;
  EXPECT_TRUE(think_may_start_iteration(worker, 2, false));
  settings.max_node = 999999999;  // 4 x 600000000 units needs more than 32 bits
  worker.node_count = INT64_C(1024) * 600000000;
  EXPECT_FALSE(think_may_start_iteration(worker, 2, false));

  reset();
  settings.max_node = -1;  // runs on to max_depth or the stop flag
  elapsed(1000000);
  game.count = 225;
  worker.node_count = INT64_C(1) << 40;
  EXPECT_TRUE(think_may_start_iteration(worker, 576, false));
  EXPECT_FALSE(think_may_start_iteration(worker, 577, false));
  stop_flag = 1;
  EXPECT_FALSE(think_may_start_iteration(worker, 40, false));
}

TEST_F(Limit, BalanceIterationStart) {
  EXPECT_TRUE(balance_may_start_iteration(worker, 1));
  stop_flag = 1;
  EXPECT_FALSE(balance_may_start_iteration(worker, 1));
  stop_flag = 0;
  worker.turn_limit = 1000;  // a quarter gone: the balance rule knows no ample match time
  elapsed(250);
  EXPECT_FALSE(balance_may_start_iteration(worker, 1));

  reset();
  game.count = 220;  // room for the iteration and the two balance stones
  EXPECT_TRUE(balance_may_start_iteration(worker, 3));
  EXPECT_FALSE(balance_may_start_iteration(worker, 4));
  settings.max_node = 1000;
  worker.node_count = 256000;
  EXPECT_FALSE(balance_may_start_iteration(worker, 1));
  settings.max_node = -1;
  elapsed(1000000);
  EXPECT_TRUE(balance_may_start_iteration(worker, 1));
}

TEST_F(Limit, IterationStartArithmeticDoesNotWrap) {
  worker.turn_limit = INT32_MAX;
  worker.decision_start = INT32_MIN;  // elapsed about 2^31, times 4
  EXPECT_FALSE(think_may_start_iteration(worker, 2, false));
  EXPECT_FALSE(balance_may_start_iteration(worker, 1));
  reset();
  settings.max_depth = INT32_MAX;
  settings.max_node = INT32_MIN;
  EXPECT_FALSE(think_may_start_iteration(worker, 1, false));
  settings.max_node = INT32_MAX;
  game.count = 10;  // count + d must not wrap into seeming room
  EXPECT_FALSE(think_may_start_iteration(worker, INT32_MAX, false));
  EXPECT_FALSE(balance_may_start_iteration(worker, INT32_MAX - 1));
  settings.max_node = -1;
  EXPECT_TRUE(think_may_start_iteration(worker, INT32_MAX, false));
}

// The hash tables' size as the settings ask for it. The set-up puts the settings and the
// tables back afterwards.
class LimitHashSize : public EngineTest {
 protected:
  // The key stored and probed; probe_table takes its halves 0x77 and 0xBAD.
  static constexpr uint64_t KEY = 0x00000BAD00000077ull;
};

TEST_F(LimitHashSize, AppliesOnlyANewRequest) {
  auto use = [](int32_t n) {
    settings.hash_size = hash_tables.requested_buckets = hash_tables.trans_buckets = hash_tables.threat_buckets = n;
    resize_hash_tables();
    clear_hash_tables();
  };
  auto present = [] {
    int a[3], b[3];
    return probe_table(3, 0, 1, 1, 0x77, 0xBAD, a, b, 1) == 11;
  };
  use(16);
  store_table(KEY, 0, 3, 11, 3, 1, -1, -1, -1, -1, -1, -1);
  apply_hash_size();
  EXPECT_TRUE(present());

  hash_tables.requested_buckets = 64;  // as if 64 were asked for and only 16 could be had
  settings.hash_size = 64;
  apply_hash_size();
  EXPECT_EQ(hash_tables.trans_buckets, 16);
  EXPECT_TRUE(present()) << "not re-allocated or cleared";

  settings.hash_size = 1000;  // not a power of two: 512 buckets, all of them used
  testing::internal::CaptureStdout();
  apply_hash_size();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "MESSAGE hash_size 1000 is not a power of two, using 512\n");
  EXPECT_TRUE(hash_tables.trans_allocated == 512 && hash_tables.threat_allocated == 512);
  EXPECT_FALSE(present());
}

// max_memory leaves the tables what FIXED_FOOTPRINT does not take, in whole powers of
// two of 384-byte units, never more than hash_size.
TEST_F(LimitHashSize, MemoryLimitCutsTheTablesToAPowerOfTwoThatFits) {
  constexpr int32_t MIB = 1 << 20;
  EXPECT_EQ(hash_buckets_within(524288, 0), 524288);
  EXPECT_EQ(hash_buckets_within(524288, -5), 524288);
  EXPECT_EQ(hash_buckets_within(524288, 350 * MIB), 524288) << "the managers' usual limit";
  EXPECT_EQ(hash_buckets_within(524288, 350000000), 524288);
  EXPECT_EQ(hash_buckets_within(524288, 32 * MIB), 16384);     // 6 MiB of tables
  EXPECT_EQ(hash_buckets_within(524288, 64 * MIB), 65536);     // 24 MiB
  EXPECT_EQ(hash_buckets_within(524288, 100000000), 131072);   // 48 MiB
  EXPECT_EQ(hash_buckets_within(1000, 64 * MIB), 1000) << "a size that fits stays as it is";
  EXPECT_EQ(hash_buckets_within(200000, 64 * MIB), 65536);
  EXPECT_EQ(hash_buckets_within(4096, 1), 1) << "below the fixed footprint: the least there is";
  EXPECT_EQ(hash_buckets_within(INT32_MAX, INT32_MAX), 4194304);  // 1.5 GiB in a 2 GiB limit
  // Helper threads count with their workers.
  EXPECT_EQ(hash_buckets_within(524288, 64 * MIB, 2 * helper_bytes()), 16384);
  const Machine eight{8, uint64_t{16} << 30};
  EXPECT_EQ(plan_memory(524288, 64 * MIB, 3, eight).buckets, 16384);
  EXPECT_EQ(plan_memory(524288, 64 * MIB, 3, eight).helpers, 2);
  EXPECT_EQ(plan_memory(524288, 64 * MIB, 1, eight).buckets, 65536);
  // The result always fits, and twice it would not.
  for (int32_t limit : {30 * MIB, 33 * MIB, 47 * MIB, 200 * MIB, 1000 * MIB}) {
    const int64_t b = hash_buckets_within(1 << 30, limit);
    EXPECT_LE(FIXED_FOOTPRINT + b * 384, limit) << limit;
    EXPECT_GT(FIXED_FOOTPRINT + 2 * b * 384, limit) << limit;
  }
}

// Pages of the six tables that are resident, and how many pages they span.
std::pair<size_t, size_t> resident_table_pages() {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t begin = reinterpret_cast<uintptr_t>(hash_tables.trans_table[0]) / page * page;
  const uintptr_t end = reinterpret_cast<uintptr_t>(hash_tables.threat_hash[3] + hash_tables.threat_allocated);
  const size_t pages = (end - begin + page - 1) / page;
  std::vector<unsigned char> in_core(pages);
  if (mincore(reinterpret_cast<void*>(begin), end - begin, in_core.data()) != 0) return {0, 0};
  size_t resident = 0;
  for (unsigned char c : in_core) resident += c & 1;
  return {resident, pages};
}

// Nothing slow may come between a command and the clock it starts: the Gomocup judge
// counts a brain's first move from the moment it lets the brain run after START, so a
// game's start faults in and clears nothing before its greeting. The idle search thread
// does that step by step; what is left when a search begins, its driver does inside its
// own time: the clear at once, the pages a stretch per limit test, which then comes at
// every node (the system took up to 5 ms for each fresh 2 MiB page on this kind of machine).
TEST_F(LimitHashSize, NoMemoryWorkBeforeTheGreetingTheSearchFinishesIt) {
  settings.hash_size = 65536;  // 24 MiB
  apply_hash_size();
  auto [resident, pages] = resident_table_pages();
  ASSERT_GT(pages, 0u);
  EXPECT_EQ(resident, 0u) << "a fresh block";
  EXPECT_TRUE(hash_tables.pages_pending);
  testing::internal::CaptureStdout();
  start_game(15, 15);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "MESSAGE Zerin 2015 Kernal 0.4.47 :-)\nOK\n");
  std::tie(resident, pages) = resident_table_pages();
  EXPECT_EQ(resident, 0u) << "of " << pages << " pages faulted in before the greeting";

  prepare_memory_for_search(worker);
  EXPECT_EQ(worker.limit_test_mask, 0u) << "limit tests at every node while pages are pending";
  EXPECT_TRUE(worker.prepares_tables);
  worker.decision_start = clock_ms();
  worker.turn_limit = 1000000;
  int tests = 0;
  for (worker.node_count = 1; hash_tables.pages_pending && tests < 1000; ++worker.node_count, ++tests)
    ASSERT_TRUE(search_limit_check(worker));
  EXPECT_FALSE(hash_tables.pages_pending);
  EXPECT_EQ(tests, 48) << "24 MiB faulted in 512 KiB a test";
  EXPECT_EQ(worker.limit_test_mask, LIMIT_TEST_INTERVAL - 1);
  std::tie(resident, pages) = resident_table_pages();
  EXPECT_EQ(resident, pages);

  // A new game leaves its clear to the search; its stores are gone then.
  int a[3], b[3];
  store_table(KEY, 0, 3, 11, 3, 1, -1, -1, -1, -1, -1, -1);
  testing::internal::CaptureStdout();
  restart_game();
  testing::internal::GetCapturedStdout();
  EXPECT_FALSE(hash_tables.clean) << "not cleared before the greeting";
  prepare_memory_for_search(worker);
  EXPECT_TRUE(hash_tables.clean);
  EXPECT_EQ(probe_table(3, 0, 1, 1, 0x77, 0xBAD, a, b, 1), HASH_MISS) << "cleared for the new game";

  // Clearing a block whose pages are not faulted in yet gives back the ones a search
  // wrote and faults in none of the others.
  settings.hash_size = 32768;
  apply_hash_size();
  store_table(KEY, 0, 3, 11, 3, 1, -1, -1, -1, -1, -1, -1);
  ASSERT_GT(resident_table_pages().first, 0u);
  request_hash_clear();
  prepare_memory_for_search(worker);
  EXPECT_EQ(resident_table_pages().first, 0u);
  EXPECT_EQ(probe_table(3, 0, 1, 1, 0x77, 0xBAD, a, b, 1), HASH_MISS);
  worker.limit_test_mask = LIMIT_TEST_INTERVAL - 1;
  worker.prepares_tables = false;
}

// A stop (zrstop, END, a game command) does not wait for a clear: the stopped search goes
// on with the tables as they are and ends at once, and the next search clears them whole,
// from the start again, the stopped search's stores included.
TEST_F(LimitHashSize, AStopDoesNotWaitForAClear) {
  int a[3], b[3];
  while (prefault_hash_tables_step()) {
  }
  // Side 1's table is the first 512 KiB of the tables, cleared by the first step; side 2's follows.
  store_table(KEY, 0, 3, 11, 3, 1, -1, -1, -1, -1, -1, -1);
  store_table(KEY, 0, 3, 13, 3, 2, -1, -1, -1, -1, -1, -1);
  request_hash_clear();
  ASSERT_TRUE(clear_hash_tables_step()) << "the idle thread began the clear";
  stop_flag = 1;
  prepare_memory_for_search(worker);
  EXPECT_FALSE(hash_tables.clean);
  EXPECT_EQ(probe_table(3, 0, 1, 2, 0x77, 0xBAD, a, b, 1), 13) << "left for the next search";
  stop_flag = 0;
  store_table(KEY, 0, 3, 12, 3, 1, -1, -1, -1, -1, -1, -1);  // the stopped search's, where the clear had been
  prepare_memory_for_search(worker);
  EXPECT_TRUE(hash_tables.clean);
  EXPECT_EQ(probe_table(3, 0, 1, 1, 0x77, 0xBAD, a, b, 1), HASH_MISS);
  EXPECT_EQ(probe_table(3, 0, 1, 2, 0x77, 0xBAD, a, b, 1), HASH_MISS);
  worker.limit_test_mask = LIMIT_TEST_INTERVAL - 1;
  worker.prepares_tables = false;
}

}  // namespace
