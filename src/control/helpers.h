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

// The helper threads that exist (they wait idle between decisions).
int helper_count();
// Ends helpers until at most count remain. None may be searching.
void shrink_helper_pool(int count);
// Adds one helper when fewer than count exist; false when none was added: count exist,
// or a helper could not be had (its memory or its thread), which is announced with a
// MESSAGE line and not tried again for the same count. The decision goes on with the
// helpers there are.
bool grow_helper_pool(int count);

// Starts count helpers (none for 0) on main's position, with main's limits, for side to
// move, after waiting for the last decision's helpers to stop; from here on main's node
// budget counts them too. Missing helpers are added first, while the decision has used
// less than a quarter of its time; it then runs with the helpers there are.
void start_helpers(SearchWorker& main, int side, int count);
// The search thread starts iteration depth (the helpers keep up with it).
void note_main_iteration(int depth);
// The depth helper `helper` (from 0) searches next, once it is through the depths below
// `depth`, with the search thread on iteration main_iteration: the first depth from
// there, not below main_iteration, that the helper does not skip (the helpers spread
// over the depths, the first taking the even ones).
int next_helper_depth(int helper, int depth, int main_iteration);
// Tells the helpers to stop, without waiting for them: the reply need not wait for
// threads the system has not scheduled yet. Returns the nodes they have counted so far
// (each counts in steps of 1024).
int64_t release_helpers(SearchWorker& main);
// An iteration a helper completed in the running decision: the decision takes it when
// it goes deeper than the search thread's own (see take_helper_iteration).
struct HelperIteration {
  int depth = 0;  // 0: none
  int value = 0;
  MovePoint move = {0, 0};
  int32_t min_remaining_depth = 0;
  Candidate line[PV_CAPACITY] = {};  // entry 0's score is its length
};

// With one move that does not lose, the deepening goes no further than this.
constexpr int SOLE_MOVE_DEPTH = 5;

// Whether a completed iteration of this depth and value ends the decision, for every
// thread alike: the last depth allowed, a decided game, or a single move that does not
// lose, seen deep enough.
bool iteration_ends_decision(int depth, int value, bool sole_candidate);

// Copies the deepest iteration a helper completed in the decision into out; false when
// none completed. Call after release_helpers: a helper still running may add a deeper
// one meanwhile, but what is copied is whole.
bool deepest_helper_iteration(HelperIteration& out);

// Waits until no helper is searching: after a driver's reply, and before anything the
// helpers read changes (the next search, the tables, the pool).
void wait_for_helpers();

}  // namespace zerin
