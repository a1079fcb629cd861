// The one search thread and the hand-over between it and the command thread.
#pragma once

#include <cstdint>

#include "core/relaxed.h"
#include "search/worker.h"

namespace zerin {

enum SearchRequest : int32_t {
  REQUEST_THINK = 0,
  REQUEST_BALANCE_ONE = 1,
  REQUEST_BALANCE_TWO = 2,
  REQUEST_SWAP2 = 3,  // SWAP2BOARD: the stones are in swap2_stones
};

extern Relaxed<int32_t> stop_flag;  // > 0 asks the running search to end

// The search thread's worker, searching the game's position. Harnesses that run a
// driver on their own thread (bench, tests) use it while no search thread runs.
extern SearchWorker main_worker;

// Starts the search thread and waits until it is ready (called once by main). Without
// threads (platform::THREADS_AVAILABLE false) there is none: request_search runs each
// request on the command thread, to its end.
void start_search_thread();
// Called by the command loop after each command; from the first call on, the idle search
// thread faults in the pages of fresh hash tables.
void allow_idle_work();
// Hands one request to the search thread (code selects the driver; target is the
// balance target) and returns once the search thread has taken it.
void request_search(SearchRequest code = REQUEST_THINK, int32_t target = 0);
void stop_search();
// Waits until no driver runs, without asking the running one to stop: a search that
// request_search handed over has begun by then, so this waits for its answer. For
// harnesses that want each request finished before the next command.
void wait_for_search();

// Commands that touch search state without stopping a search (zrhashclear,
// zrshowforbid): run now when idle, or by the search thread once its driver ends.
void run_or_defer_hash_clear();
// prepare_hash_tables for a new game (command thread, no search running), kept apart
// from the idle search thread's faulting in of table pages.
void prepare_tables_for_game();
void run_or_defer_show_forbidden();

}  // namespace zerin
