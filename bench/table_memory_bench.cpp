// What a node pays for its transposition-table probe when the tables are far larger than
// the caches, and how much of it the prefetch before the placement hides. Each iteration
// is what a node does between asking for its child's bucket and probing it: a stone
// placed and taken back, then the probe of a random key. Compare the probe's cost over
// the placement alone (mode 0) for small tables (they fit the caches) and the default
// ones (192 MiB), without (mode 1) and with (mode 2) the prefetch.
//
// Where a random line of memory is slow (a virtual machine whose host maps memory in small
// pages may take a few hundred nanoseconds for it, twenty times a cache hit), a placement is
// too short to hide it all, which bounds what the prefetch gains there.
//
//   build/bench/table_memory_bench --benchmark_repetitions=3
#include <benchmark/benchmark.h>

#include <cstdint>

#include "board/board.h"
#include "board/hash_tables.h"
#include "core/rules.h"

using namespace zerin;

namespace {

constexpr int SIDE = 15;
constexpr int32_t SMALL_BUCKETS = 4096;       // 1.5 MiB of tables
constexpr int32_t DEFAULT_BUCKETS = 524288;  // 192 MiB, the default hash_size

Board board;

// A few stones in the centre, so that the placement below has lines to update.
void set_up(int32_t buckets) {
  build_game_tables(SIDE, RULE_FREESTYLE);
  reset_board(board, SIDE, SIDE, RULE_FREESTYLE);
  const int stones[6][2] = {{7, 7}, {7, 8}, {8, 8}, {6, 6}, {8, 6}, {6, 8}};
  for (int i = 0; i < 6; ++i) place_stone(board, stones[i][0], stones[i][1], i % 2 + 1);
  hash_tables.trans_buckets = hash_tables.threat_buckets = buckets;
  resize_hash_tables();
  clear_hash_tables();
  while (prefault_hash_tables_step()) {
  }
}

inline uint64_t next_key(uint64_t& state) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return state;
}

// Arguments: bucket count; 0 placement only, 1 probe, 2 prefetch then probe.
void BM_ProbeAfterPlacement(benchmark::State& state) {
  const int32_t buckets = static_cast<int32_t>(state.range(0));
  const int mode = static_cast<int>(state.range(1));
  set_up(buckets);
  uint64_t seed = 0x9E3779B97F4A7C15ull;
  int first[3], second[3];
  int64_t found = 0;
  for (auto _ : state) {
    const uint64_t key = next_key(seed);
    if (mode == 2) prefetch_trans(BLACK, key);
    place_stone(board, 7, 6, BLACK);
    remove_stone(board, 7, 6, BLACK);
    if (mode >= 1)
      found += probe_table(1, -1, 1, BLACK, static_cast<uint32_t>(key), static_cast<uint32_t>(key >> 32), first,
                           second, 1);
  }
  benchmark::DoNotOptimize(found);
}

BENCHMARK(BM_ProbeAfterPlacement)
    ->ArgNames({"buckets", "mode"})
    ->ArgsProduct({{SMALL_BUCKETS, DEFAULT_BUCKETS}, {0, 1, 2}});

}  // namespace

BENCHMARK_MAIN();
