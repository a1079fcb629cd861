// The one search thread and the hand-over between it and the command thread.
#pragma once

#include <cstdint>

#include "core/relaxed.h"

namespace zerin {

enum SearchRequest : int32_t {
  REQUEST_THINK = 0,
  REQUEST_BALANCE_ONE = 1,
  REQUEST_BALANCE_TWO = 2,
};

extern Relaxed<int32_t> stop_flag;       // > 0 asks the running search to end
extern Relaxed<int32_t> request_code;    // driver of the next request
extern Relaxed<int32_t> balance_target;  // target of the next balance request

// The balance target taken over with the running request.
int32_t current_balance_target();

// Starts the search thread and waits until it is ready (called once by main).
void start_search_thread();
// Called by the command loop after each command; from the first call on, the idle search
// thread faults in the pages of fresh hash tables.
void allow_idle_work();
void request_search();
void stop_search();
// Waits until no driver runs, without asking the running one to stop: a search that
// request_search handed over has begun by then, so this waits for its answer. For
// harnesses that want each request finished before the next command.
void wait_for_search();
void stop_search_and_prepare();

// Commands that touch search state without stopping a search (zrhashclear,
// zrshowforbid): run now when idle, or by the search thread once its driver ends.
void run_or_defer_hash_clear();
// prepare_hash_tables for a new game (command thread, no search running), kept apart
// from the idle search thread's faulting in of table pages.
void prepare_tables_for_game();
void run_or_defer_show_forbidden();

}  // namespace zerin
