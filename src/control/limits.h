// Time, node and depth limits of one decision.
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
// hash_buckets_within for the current settings.
int32_t wanted_hash_buckets();
void apply_hash_size();
// Makes the next resize_hash_tables allocate the size INFO asked for (wanted_hash_buckets),
// so a rebuild of the position does not first allocate (and clear) tables of the old size.
void take_requested_hash_size();
// Allocates the tables at the size INFO asked for and makes them ready (ready_hash_tables):
// run when a game starts, before its greeting, so that neither the allocation, the
// clearing nor the first touch of the pages falls inside a timed decision.
void prepare_hash_tables();

}  // namespace zerin
