// Static evaluation of the position for the side to move.
#pragma once

#include <cstdint>

#include "core/constants.h"

namespace zerin {

// A cell whose stamp equals the counter has been met in the running evaluation.
extern uint64_t evaluation_stamps[MAX_CELLS];
extern uint64_t evaluation_counter;

// Value of the position for side; a selects the scratch list of ply iteration_depth - a.
int evaluate_position(int a, int side);

}  // namespace zerin
