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

int one_ply_scan(SearchWorker& w, int side);
int play_on_win(SearchWorker& w, int side);
int forced_block(SearchWorker& w, int side);

}  // namespace zerin
