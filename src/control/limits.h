// Time, node and depth limits of one decision, and how the engine divides its memory
// between the hash tables and the helper threads.
#pragma once

#include <cstdint>

#include "core/clock.h"
#include "search/worker.h"

namespace zerin {

// Sets the worker's turn_limit from timeout_turn and time_left; returns whether the match
// time is ample for that limit over the cells still free (think's deepening reads it).
bool compute_turn_limit(SearchWorker& w);
// Whether iteration d of think / of a balance search may start.
bool think_may_start_iteration(const SearchWorker& w, int d, bool ample_time);
bool balance_may_start_iteration(const SearchWorker& w, int d);
// Bytes the process takes besides its hash tables, with a margin: the static storage of
// the position, bookkeeping and search (19 MiB, most of it never touched), code, stacks
// and the C++ runtime. Measured peaks without tables stay near 11 MiB on Linux.
constexpr int64_t FIXED_FOOTPRINT = int64_t{24} << 20;
// The bucket count the tables take: hash_size, or, when tables of that size would not
// fit next to FIXED_FOOTPRINT and other_bytes (the helper threads') within max_memory
// bytes (0 or less: no limit), the largest power of two that fits (at least 1).
int32_t hash_buckets_within(int32_t hash_size, int32_t max_memory, int64_t other_bytes = 0);

// Below a memory limit the tables keep at least this many buckets (6 MiB, what a 32 MiB
// limit leaves one thread) where the limit has room for them: helper threads give way
// first, since a search without a table is far weaker than one with fewer threads.
constexpr int32_t FLOOR_BUCKETS = 16384;

// What the machine offers the engine; 0 where the system does not tell.
struct Machine {
  uint32_t threads = 0;       // hardware threads
  uint64_t memory_bytes = 0;  // physical memory
};
Machine this_machine();

// How the engine divides its memory: buckets per hash table and helper threads, worked
// out from hash_size, max_memory and thread_num, and each fallback taken on the way (the
// value asked for and the one used; equal where none was needed).
struct MemoryPlan {
  int32_t buckets = 0;  // per table: a power of two
  int32_t helpers = 0;  // threads of a decision besides the search thread
  // The thread count asked for (thread_num within 1..MAX_THREADS) and the one the
  // hardware takes: more threads than it has only wait for one another.
  int32_t threads_asked = 1, threads_on_hardware = 1;
  // hash_size (at least 1) and its largest power of two: buckets are picked by masking,
  // so any other count leaves buckets unused.
  int32_t size_asked = 1, size_power_of_two = 1;
  // Without max_memory: the power of two and what half the physical memory holds.
  int32_t size_within_memory = 1;
  // With max_memory: the helper threads next to tables of FLOOR_BUCKETS, and the buckets
  // next to those helpers.
  int32_t helpers_within_limit = 0;
  int32_t buckets_within_limit = 1;
};
MemoryPlan plan_memory(int32_t hash_size, int32_t max_memory, int32_t thread_num, const Machine& machine);

// plan_memory for the current settings and this machine.
MemoryPlan memory_plan();
// memory_plan, with each fallback announced in a MESSAGE line when it begins to apply or
// its figures change, once:
//   MESSAGE thread_num 8 is more than the 2 hardware threads, using 2
//   MESSAGE hash_size 1000000 is not a power of two, using 524288
//   MESSAGE hash_size 67108864 needs more than half of the 16384 MiB of memory, using 16777216
//   MESSAGE max_memory 100000000 too small for 6 threads, using 5
//   MESSAGE max_memory 33554432 too small for 524288 hash buckets, using 16384
// Called when a game starts (before its greeting) and by the drivers before they search,
// as INFO itself writes nothing; either thread may call it.
MemoryPlan announce_memory_plan();
// Brings the helper pool and the tables to the plan in the order that never holds more
// than the old or the new plan: surplus helpers go first, then the tables are made anew
// (the old block released before the new one is mapped). Helpers are added later, by the
// next decision or the idle search thread. No search may run.
void apply_memory_plan(const MemoryPlan& plan);
// apply_memory_plan for the current settings, announced (tables made anew come zeroed).
void apply_hash_size();

}  // namespace zerin
