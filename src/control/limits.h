// Time, node and depth limits of one decision.
#pragma once

#include <cstdint>

namespace zerin {

// Wall-clock milliseconds since the process started.
int32_t clock_ms();

void compute_turn_limit(bool with_ample_time);
// Whether iteration d of think / of a balance search may start.
bool think_may_start_iteration(int d);
bool balance_may_start_iteration(int d);
// Run every 1024 nodes; returns false (and sets abort_flag) when the search must end.
bool search_limit_check();
// Counts one node; on every 1024th runs the limit test. False means abort now.
inline bool enter_node();
void apply_hash_size();
// Makes the next resize_hash_tables allocate the size INFO asked for, so a rebuild of the
// position does not first allocate (and clear) tables of the old size.
void take_requested_hash_size();
// Allocates the tables at the size INFO asked for and makes them ready (ready_hash_tables):
// run when a game starts, before its greeting, so that neither the allocation, the
// clearing nor the first touch of the pages falls inside a timed decision.
void prepare_hash_tables();

}  // namespace zerin

#include "control/context.h"

namespace zerin {

inline bool enter_node() {
  ++node_count;
  if ((node_count & 1023) == 0) return search_limit_check();
  return true;
}

}  // namespace zerin
