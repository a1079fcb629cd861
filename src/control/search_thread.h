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

// INFO changed hash_size, max_memory or thread_num: the idle search thread brings the
// helpers and the tables to the new memory plan, and faults new tables in, before the
// next request if there is time.
void memory_settings_changed();
// A new game, before its greeting: the memory plan's fallbacks are announced
// (announce_memory_plan) and the tables are cleared before the game's first search.
void prepare_memory_for_game();
// zrhashclear and a new game (command thread): the tables are cleared before the next
// search, by the idle search thread step by step, or by that search's driver inside its
// time. A search running now is not touched.
void request_hash_clear();
// The same without waking the idle search thread, for a position build: on the search
// thread during a run, whose end looks for idle work anyway, or under the deferred-work
// lock (the hand-over lock must not be taken there).
void want_hash_clear();
// For a driver about to search, on the search thread, inside its decision's time: the
// last decision's helpers have stopped, the memory plan and a clear asked for are
// carried out, and while pages of the tables are still to be faulted in, the worker's
// limit tests come at every node and fault them in a stretch at a time.
void prepare_memory_for_search(SearchWorker& w);
// zrshowforbid, which touches the position: run now when idle, or by the search thread
// once its driver ends.
void run_or_defer_show_forbidden();

}  // namespace zerin
