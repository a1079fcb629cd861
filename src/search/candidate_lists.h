// Per-ply candidate lists, visit stamps and principal-variation lines of the search.
// The threat analysis borrows the list of a ply as scratch space.
#pragma once

#include <cstdint>

#include "core/constants.h"
#include "core/types.h"

namespace zerin {

// Plies: a ply's index grows by one per stone placed beyond the game record (and by a
// few more per internal deepening step), so the searches stay far below this; they
// also guard against reaching it.
constexpr int MAX_PLIES = MAX_CELLS + 64;
// The general stage may append a cell once per pass (three passes), on top of which the
// threat stages add a few entries.
constexpr int LIST_CAPACITY = 3 * MAX_CELLS + 8;
// Entry 0's score is the line's length; moves from entry 1.
constexpr int PV_CAPACITY = MAX_CELLS + 2;

extern Candidate candidate_lists[MAX_PLIES][LIST_CAPACITY];
extern uint64_t ply_visits[MAX_PLIES];
extern uint64_t visit_stamps[MAX_PLIES][MAX_CELLS];
extern Candidate pv_table[MAX_PLIES][PV_CAPACITY];

// An empty line at ply (length 0, no first move).
inline void clear_principal_variation(int ply) {
  pv_table[ply][0].score = 0;
  pv_table[ply][1].x = pv_table[ply][1].y = -1;
}

// The scratch list for the remaining depth a of the current iteration (the last list
// stands in for any deeper index).
inline Candidate* scratch_list(int iteration, int a) {
  const int index = iteration - a;
  return candidate_lists[index < MAX_PLIES ? index : MAX_PLIES - 1];
}

// Stable ascending sort by score: equal scores keep the order they were generated in.
// Allocation-free (insertion sort for short lists, merging through a buffer otherwise).
void sort_candidates(Candidate* list, int count);

}  // namespace zerin
