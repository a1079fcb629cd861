// The move decision driver (BEGIN, TURN, BOARD) and its reports.
#pragma once

#include <cstdint>

#include "search/worker.h"

namespace zerin {

// What the decision driver keeps from one decision to the next.
struct DecisionMemory {
  int32_t last_value = 0;  // the value of the last decision (0 after a new game or a take-back)
  // The root line last taken from the search: entry 0's score is its length.
  Candidate principal_variation[PV_CAPACITY] = {};
};

extern DecisionMemory decision_memory;

// Decides the move for the side to move of the game, writes the reports and the reply,
// and records the move (on the worker's position, the game's).
void think(SearchWorker& w);

// Iterative deepening over the root search for side on the game's position (built for
// the rule in force first), joined by the helper threads when there are any, under the
// worker's turn_limit; returns the value for side and leaves the chosen cell in
// w.best_move (a winning cell when the value is a win at once), the last iteration in
// w.iteration_depth and the elapsed ms in w.decision_start. It keeps the value and the
// line in decision_memory, but records no move and writes no reply (with show_detail,
// only its iteration lines): think reports and plays its result, the Swap2 driver
// weighs it. *helper_nodes receives the helpers' nodes.
int deepen(SearchWorker& w, int side, bool ample_time, int64_t* helper_nodes);

int one_ply_scan(SearchWorker& w, int side);
int play_on_win(SearchWorker& w, int side);
int forced_block(SearchWorker& w, int side);

}  // namespace zerin
