#include "board/hash_tables.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "support/engine_setup.h"
#include "threats/four_threat.h"

using namespace zerin;
using namespace zerin_test;

namespace {

constexpr int NO[2] = {-1, -1}, A[2] = {3, 4}, B[2] = {5, 6}, C[2] = {7, 8}, D[2] = {9, 10};

// Distinct keys sharing bucket 5 of a 16-bucket table.
uint64_t key(int i) { return static_cast<uint64_t>(i + 1) << 40 | 0x12340005u; }

// Stores and probes go to the position with hash_key, at the game's move count
// game_moves (the entries' generation).
class HashTable : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    use_buckets(16);
  }
  static void use_buckets(int32_t n) {
    hash_tables.trans_buckets = hash_tables.threat_buckets = n;
    resize_hash_tables();
    clear_hash_tables();
  }
  // Probe of hash_key; moves[i] stays {77, 77} where nothing was written.
  int probe(int depth, int alpha, int beta, int side = 1, int wanted = 3) {
    for (auto& m : moves) m[0] = m[1] = 77;
    int first[3] = {77, 77, 77}, second[3] = {77, 77, 77};
    const int v = probe_table(depth, alpha, beta, side, static_cast<uint32_t>(hash_key),
                              static_cast<uint32_t>(hash_key >> 32), first, second, wanted);
    for (int i = 0; i < 3; ++i) moves[i][0] = first[i], moves[i][1] = second[i];
    return v;
  }
  void store(int depth, int value, int bound, const int* m1 = NO, const int* m2 = NO, const int* m3 = NO,
             int side = 1) {
    store_table(hash_key, game_moves, depth, value, bound, side, m1[0], m1[1], m2[0], m2[1], m3[0], m3[1]);
  }
  static TransEntry& slot(int i) { return hash_tables.trans_table[0][5].entries[i]; }
  static bool holds(const int8_t (&got)[2], const int* want) { return got[0] == want[0] && got[1] == want[1]; }
  static bool holds(const int (&got)[2], const int* want) { return got[0] == want[0] && got[1] == want[1]; }
  bool untouched() const { return moves[0][0] == 77 && moves[1][0] == 77 && moves[2][0] == 77; }

  int moves[3][2];
  uint64_t hash_key = key(0);
  int game_moves = 10;
};

TEST_F(HashTable, MissesWriteNoMoves) {
  for (uint64_t k : {key(0), uint64_t{0}}) {  // 0 is the empty board's key
    hash_key = k;
    EXPECT_EQ(probe(1, -100, 100), HASH_MISS);
    EXPECT_TRUE(untouched());
  }
  store(4, 25, 3, A);
  EXPECT_EQ(probe(4, 0, 100, 2), HASH_MISS) << "sides have separate tables";
  hash_key = key(1);
  EXPECT_EQ(probe(1, 0, 100), HASH_MISS);
  EXPECT_TRUE(untouched());
}

TEST_F(HashTable, MateValuesAreHeldRelativeToTheStoringDepth) {
  store(5, 9998900, 3, A);
  EXPECT_EQ(slot(0).upper, 9998895);
  EXPECT_EQ(slot(0).lower, 9998895);
  EXPECT_EQ(probe(5, 0, 1), 9998900);
  EXPECT_EQ(probe(7, 0, 1), 9998902);  // answers even where the entry is too shallow
  hash_key = key(1);
  store(5, -9998900, 3);
  EXPECT_EQ(slot(1).upper, -9998895);
  EXPECT_EQ(probe(7, 0, 1), -9998902);
  hash_key = key(2);  // just below the bound: an evaluation, so depth matters
  store(5, 9998847, 3);
  EXPECT_EQ(probe(5, 0, 1), 9998847);
  EXPECT_EQ(probe(6, 0, 1), HASH_MISS);
}

TEST_F(HashTable, BoundsAnswerOutsideTheWindowWhenDeepEnough) {
  store(4, 30, 1, A);  // upper bound
  EXPECT_EQ(probe(3, 30, 60), 30);
  EXPECT_EQ(probe(4, 29, 60), HASH_MISS);
  EXPECT_TRUE(holds(moves[0], A)) << "deep enough: the move is still delivered";
  EXPECT_EQ(probe(5, 30, 60), HASH_MISS);
  EXPECT_TRUE(untouched());
  hash_key = key(1);
  store(4, 30, 2);  // lower bound
  EXPECT_EQ(probe(4, 0, 30), 30);
  EXPECT_EQ(probe(4, 0, 31), HASH_MISS);
}

TEST_F(HashTable, BoundsMergeAtEqualDepth) {
  store(4, 50, 2);  // a new entry holds its value in both bounds
  EXPECT_EQ(slot(0).upper, 50);
  EXPECT_EQ(slot(0).lower, 50);
  store(4, 80, 1);  // upper = min(50, 80): exact
  EXPECT_EQ(slot(0).bound, 3);
  EXPECT_EQ(probe(4, -100, 100), 50);
  store(4, 10, 1);  // an exact entry ignores bounds of its depth
  EXPECT_EQ(probe(4, -100, 100), 50);
  store(4, 20, 3);
  EXPECT_EQ(probe(4, -100, 100), 20);
  store(6, -5, 2);  // a deeper store replaces all
  EXPECT_EQ(slot(0).depth, 6);
  EXPECT_EQ(probe(6, -100, -5), -5);
  EXPECT_EQ(probe(6, -100, -4), HASH_MISS);
}

TEST_F(HashTable, ShallowerStoreOnlyRefreshesGeneration) {
  store(6, 40, 3, A);
  game_moves = 11;
  store(3, -20, 1, B, C);
  const TransEntry& e = slot(0);
  EXPECT_EQ(e.generation, 11);
  EXPECT_EQ(e.depth, 6);
  EXPECT_EQ(e.lower, 40);
  EXPECT_EQ(e.bound, 3);
  EXPECT_EQ(e.move_count, 1);
  EXPECT_TRUE(holds(e.moves[0], A) && holds(e.moves[1], NO));
}

TEST_F(HashTable, MoveSlotsKeepMostRecentFirstWithoutDuplicates) {
  store(4, 0, 3, A);
  store(4, 0, 3, B);
  EXPECT_TRUE(holds(slot(0).moves[0], B) && holds(slot(0).moves[1], A));
  store(5, 0, 3, A);
  EXPECT_TRUE(holds(slot(0).moves[0], A) && holds(slot(0).moves[1], B) && holds(slot(0).moves[2], NO));
  EXPECT_EQ(slot(0).move_count, 2);
  store(5, 0, 3, A);  // the old copy sits in the middle slot and is cleared there
  EXPECT_TRUE(holds(slot(0).moves[1], NO) && holds(slot(0).moves[2], B));
  store(5, 0, 3, C, D);  // m1 ends in front
  EXPECT_TRUE(holds(slot(0).moves[0], C) && holds(slot(0).moves[1], D) && holds(slot(0).moves[2], A));
  EXPECT_EQ(slot(0).move_count, 3);
  probe(1, 0, 1, 1, 2);
  EXPECT_TRUE(holds(moves[1], D) && moves[2][0] == 77);

  hash_key = key(1);  // a new entry keeps the moves as passed
  store(2, 0, 3, NO, B, C);
  EXPECT_EQ(slot(1).move_count, 2);
  probe(1, 0, 1);
  EXPECT_TRUE(holds(moves[0], NO) && holds(moves[1], B) && holds(moves[2], C));
}

TEST_F(HashTable, LockIsKeyXorCheckWord) {
  hash_key = 0x0123456789ABCDE5ull;
  store(4, -7, 2);
  store(4, -3, 2);  // upper -7, lower -3, depth 4, bound 2
  // mix64(upper | lower << 32 ^ (depth | bound << 16) * 0x9E3779B97F4A7C15), the halves
  // as unsigned 32 bits and depth and bound as unsigned 16 and 8 bits; mix64 is
  // MurmurHash3's finalizer
  const uint64_t lock = hash_key ^ 0x78a42881a9b1d12dull;
  EXPECT_EQ(slot(0).lock_lo, static_cast<uint32_t>(lock));
  EXPECT_EQ(slot(0).lock_hi, static_cast<uint32_t>(lock >> 32));
  slot(0).upper = -8;
  EXPECT_EQ(probe(4, 100, 200), HASH_MISS);
}

// Stores are written field by field, so a thread that reads while another stores, or two
// threads storing the same position at once, can meet an entry whose fields come from
// two stores of that position: here the low half of the lock with the lower bound, the
// depth and the bound of one store, the high half with the upper bound of the other.
// Such a blend holds a bound no search found (an upper bound at another store's depth),
// and the lock must turn it away, however the two stores' fields relate.
TEST_F(HashTable, EntryBlendedFromTwoStoresOfOneKeyFailsTheLock) {
  struct Store {
    int depth, value, bound;
  };
  const std::pair<Store, Store> pairs[] = {
      {{3, 40, 1}, {5, 90, 3}}, {{2, 7, 2}, {6, 7000, 1}}, {{4, -20, 3}, {8, -35, 2}}, {{1, 0, 1}, {9, 1, 1}}};
  for (const auto& [first, second] : pairs) {
    hash_key = key(3);
    clear_hash_tables();
    store(first.depth, first.value, first.bound);
    const TransEntry one = slot(0);
    store(second.depth, second.value, second.bound);  // deeper: replaces every field
    const TransEntry other = slot(0);
    ASSERT_EQ(other.upper, second.value);
    TransEntry& e = slot(0);
    e.lock_hi = one.lock_hi;
    e.upper = one.upper;
    TransEntry found;
    EXPECT_FALSE(find_entry(1, hash_key, &found))
        << "upper " << e.upper << " of the store at depth " << first.depth << " taken for depth " << e.depth;
    e = other;
    EXPECT_TRUE(find_entry(1, hash_key, &found));
  }
}

// Fills bucket 5 with entries of the given generations, depths and bounds, stores a
// fifth position at generation 10 and returns the slot it took.
int victim(const int (&generation)[4], const int (&depth)[4], const int (&bound)[4]) {
  clear_hash_tables();
  for (int i = 0; i < 4; ++i) store_table(key(i), 10, depth[i], i, bound[i], 1, -1, -1, -1, -1, -1, -1);
  TransEntry* e = hash_tables.trans_table[0][5].entries;
  for (int i = 0; i < 4; ++i) e[i].generation = static_cast<int16_t>(generation[i]);
  store_table(key(9), 10, 1, 99, 3, 1, -1, -1, -1, -1, -1, -1);
  int taken = -1;
  for (int i = 0; i < 4; ++i) {
    if (e[i].upper == 99) taken = i;
    else EXPECT_EQ(e[i].upper, i);
  }
  return taken;
}

TEST_F(HashTable, ReplacementByAgeExactnessAndDepth) {
  EXPECT_EQ(victim({10, 10, 8, 10}, {9, 9, 1, 9}, {3, 3, 3, 3}), 2);  // two moves ago
  EXPECT_EQ(victim({10, 12, 10, 10}, {1, 9, 1, 1}, {1, 1, 1, 1}), 1);  // moves taken back
  EXPECT_EQ(victim({10, 10, 9, 10}, {5, 4, 9, 3}, {1, 1, 1, 1}), 2);   // last move's, inexact
  EXPECT_EQ(victim({10, 10, 10, 10}, {5, 4, 6, 2}, {1, 1, 1, 1}), 3);  // shallowest
  EXPECT_EQ(victim({10, 10, 10, 10}, {5, 5, 5, 5}, {1, 2, 1, 2}), 0);  // ties keep the first
  EXPECT_EQ(victim({10, 9, 9, 10}, {5, 5, 5, 5}, {1, 3, 1, 1}), 2);    // exact stays
}

TEST_F(HashTable, CountThatIsNoPowerOfTwoStaysInBounds) {
  use_buckets(1000);
  for (uint32_t lo : {0xFFFFFFFFu, 1000u, 998u, 0x12345678u}) {
    hash_key = static_cast<uint64_t>(lo) * 0x9E3779B1ull << 32 | lo;
    store(3, 11, 3, A);
    EXPECT_EQ(probe(3, 0, 1), 11);
    EXPECT_EQ(hash_tables.trans_table[0][lo & 999].entries[0].upper, 11) << lo;
  }
  // The second table follows the first in memory: an overrun would show there.
  const auto* bytes = reinterpret_cast<const unsigned char*>(hash_tables.trans_table[1]);
  for (size_t i = 0; i < 1000 * sizeof(TransBucket); ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST_F(HashTable, ResizeReallocatesOnlyChangedCounts) {
  store(3, 11, 3);
  resize_hash_tables();
  EXPECT_EQ(probe(3, 0, 1), 11);
  hash_tables.trans_buckets = 0;  // counts below 1 would make the mask cover everything
  hash_tables.threat_buckets = -4;
  resize_hash_tables();
  EXPECT_EQ(hash_tables.trans_allocated, 1);
  EXPECT_EQ(hash_tables.threat_buckets, 1);
  EXPECT_EQ(probe(3, 0, 1), HASH_MISS) << "new tables come zeroed";
}

TEST_F(HashTable, AbsurdSizeFallsBackToWhatMemoryHolds) {
  hash_tables.trans_buckets = hash_tables.threat_buckets = INT32_MAX;  // 768 GiB
  testing::internal::CaptureStdout();
  resize_hash_tables();
  const std::string out = testing::internal::GetCapturedStdout();
  const int32_t used = hash_tables.trans_buckets;
  EXPECT_TRUE(hash_tables.threat_buckets == used && hash_tables.trans_allocated == used && hash_tables.threat_allocated == used);
  ASSERT_TRUE(hash_tables.trans_table[1] != nullptr && hash_tables.threat_hash[3] != nullptr);
  if (used < INT32_MAX) {
    EXPECT_EQ(used & (used - 1), 0);
    EXPECT_EQ(out, "MESSAGE not enough memory for 2147483647 hash buckets, using " +
                       std::to_string(used) + "\n");
  }
  hash_key = ~uint64_t{0};  // last bucket
  store(2, 7, 3);
  EXPECT_EQ(probe(2, 0, 1), 7);
  testing::internal::CaptureStdout();
  resize_hash_tables();  // the size held is not tried again
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(probe(2, 0, 1), 7);
}

// Helper threads store and probe without locks. Whatever one thread reads while others
// write, a probe answers only values stored for the key it asks about: an entry mixed
// from two writes fails its lock. Four threads store values that name their key into
// one bucket (and one threat bucket) while probing; ThreadSanitizer builds run the same
// and must see no data race.
TEST(HashTablesSharedByThreads, EntriesMixedFromTwoWritesNeverMatch) {
  hash_tables.trans_buckets = hash_tables.threat_buckets = 1;  // every key in the same bucket
  resize_hash_tables();
  clear_hash_tables();
  constexpr int KEYS = 6;
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
  constexpr int ROUNDS = 20000;
#else
  constexpr int ROUNDS = 200000;
#endif
  auto key_of = [](int k) { return 0x9E3779B97F4A7C15ull * static_cast<uint64_t>(k + 1); };
  std::atomic<int> wrong{0}, hits{0};
  auto work = [&](int thread) {
    uint32_t r = 12345u + 977u * static_cast<uint32_t>(thread);
    for (int i = 0; i < ROUNDS; ++i) {
      r = r * 1664525u + 1013904223u;
      const int k = static_cast<int>(r >> 8) % KEYS;
      const uint64_t key = key_of(k);
      // The value names the key; depth, bound and moves vary from store to store.
      const int value = 1000 * k + static_cast<int>(r >> 24) % 100;
      const int depth = 1 + static_cast<int>(r >> 20) % 9;
      if ((r >> 4) & 1) {
        store_table(key, 5, depth, value, BOUND_EXACT, 1, k, k, -1, -1, -1, -1);
        threat_store(key, 5, value, 100, ATTACKER, 1);
      } else {
        int first[3], second[3];
        const int got = probe_table(1, -WIN_VALUE, WIN_VALUE, 1, static_cast<uint32_t>(key),
                                    static_cast<uint32_t>(key >> 32), first, second, 1);
        if (got != HASH_MISS) {
          hits.fetch_add(1, std::memory_order_relaxed);
          if (got / 1000 != k) wrong.fetch_add(1, std::memory_order_relaxed);
        }
        const int threat = threat_probe(ATTACKER, 100, 1, key);
        if (threat != HASH_MISS && threat / 1000 != k) wrong.fetch_add(1, std::memory_order_relaxed);
      }
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back(work, t);
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_GT(hits.load(), 0) << "the probes met stored entries";
  hash_tables.trans_buckets = hash_tables.threat_buckets = TEST_HASH_BUCKETS;
  resize_hash_tables();
  clear_hash_tables();
}

}  // namespace

namespace {

// Two threads taking turns at a spin barrier.
class SpinBarrier {
 public:
  explicit SpinBarrier(int count) : count_(count) {}
  void arrive_and_wait() {
    const int generation = generation_.load();
    if (arrived_.fetch_add(1) + 1 == count_) {
      arrived_.store(0);
      generation_.fetch_add(1);
      return;
    }
    while (generation_.load() == generation) std::this_thread::yield();
  }

 private:
  const int count_;
  std::atomic<int> arrived_{0};
  std::atomic<int> generation_{0};
};

}  // namespace

// Two helper threads often store for the same position at the same time, and a third
// probes it meanwhile. Their stores are written field by field, so a reader can meet, and
// two writers can leave, an entry whose fields come from two stores. Such a blend must
// not pass the lock: it would hand out a bound no search found (one store's upper bound
// at the other's depth). Per round a fresh key; the two writers store it at rising depths
// (odd and even, so every store replaces the entry whole), each depth with its own value
// and bound, and every entry that matches the key, read by a third thread or found after
// the round, must be one store's. ThreadSanitizer builds run it too (fewer rounds).
TEST(HashTablesSharedByThreads, OneKeyStoredByTwoThreadsIsNeverReadAsABlendOfTheirStores) {
  hash_tables.trans_buckets = hash_tables.threat_buckets = 1;
  resize_hash_tables();
  clear_hash_tables();
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
  constexpr int ROUNDS = 300;
#else
  constexpr int ROUNDS = 3000;
#endif
  constexpr int DEPTHS = 400;
  // Each store's fields follow from its depth.
  auto value_of = [](int depth) { return 37 * depth + 5; };
  auto bound_of = [](int depth) { return 1 + depth % 3; };
  auto key_of = [](int round) { return 0x9E3779B97F4A7C15ull * static_cast<uint64_t>(round + 1); };
  auto one_store = [&](const TransEntry& e) {
    return e.depth >= 1 && e.depth < DEPTHS && e.upper == value_of(e.depth) && e.lower == e.upper &&
           e.bound == bound_of(e.depth);
  };
  std::atomic<int> round{-1};
  std::atomic<bool> done{false};
  std::atomic<int64_t> blends{0}, reads{0};
  SpinBarrier barrier(2);
  auto writer = [&](int parity) {
    for (int r = 0; r < ROUNDS; ++r) {
      barrier.arrive_and_wait();
      if (parity == 0) {
        clear_hash_tables();
        round.store(r);
      }
      barrier.arrive_and_wait();
      for (int depth = 1 + parity; depth < DEPTHS; depth += 2)
        store_table(key_of(r), 5, depth, value_of(depth), bound_of(depth), 1, -1, -1, -1, -1, -1, -1);
      barrier.arrive_and_wait();
      TransEntry e;
      if (parity == 0 && find_entry(1, key_of(r), &e) && !one_store(e)) blends.fetch_add(1);
    }
    done.store(true);
  };
  auto reader = [&] {
    while (!done.load()) {
      const int r = round.load();
      TransEntry e;
      if (r < 0 || !find_entry(1, key_of(r), &e)) continue;
      reads.fetch_add(1, std::memory_order_relaxed);
      if (!one_store(e)) blends.fetch_add(1);
    }
  };
  std::thread first(writer, 0), second(writer, 1), third(reader);
  first.join();
  second.join();
  third.join();
  EXPECT_EQ(blends.load(), 0) << "entries blended from two stores passed the lock, in " << reads.load()
                              << " reads and " << ROUNDS << " rounds";
  EXPECT_GT(reads.load(), 0);
  hash_tables.trans_buckets = hash_tables.threat_buckets = TEST_HASH_BUCKETS;
  resize_hash_tables();
  clear_hash_tables();
}
