// Helper threads of a decision. With thread_num N > 1 the search thread's deepening is
// joined by N - 1 helpers that search the same position at the same time, each on its own
// copy of the position with its own worker, sharing the hash tables: what they store
// cuts the main search short. They write nothing; the decision, its value, its line and
// its reports stay the search thread's.
#pragma once

#include <cstdint>

#include "search/worker.h"

namespace zerin {

// Bytes each helper thread adds (its worker and its copy of the position).
int64_t helper_bytes();

// Starts settings.thread_num - 1 helpers (none with one thread) on main's position, with
// main's limits, for side to move; from here on main's node budget counts them too.
void start_helpers(SearchWorker& main, int side);
// The search thread starts iteration depth (the helpers keep ahead of it).
void note_main_iteration(int depth);
// Stops the helpers and waits until none is searching; returns the nodes they searched.
int64_t stop_helpers(SearchWorker& main);

}  // namespace zerin
