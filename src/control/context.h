// Per-decision search context shared by the drivers and the searches. It belongs to the
// search thread while a driver runs and to the command thread otherwise.
#pragma once

#include <cstdint>

#include "core/types.h"

namespace zerin {

extern int32_t decision_start;       // clock at the start; afterwards the elapsed ms
extern int32_t turn_limit;           // ms allowed for this decision
extern bool ample_time;              // think only: match time ample for the turn limit
extern int64_t node_count;           // nodes entered in this decision
extern int64_t expanded_count;       // nodes that generated moves
extern double tried_sum;             // moves tried at expanded nodes
extern int32_t min_remaining_depth;  // lowest remaining depth the threat search reached
extern int32_t iteration_depth;      // nominal depth of the running iteration
extern MovePoint best_move;          // the cell the decision will play
extern int32_t sole_candidate;       // exactly one root move avoids a decided loss
extern int32_t abort_flag;           // a limit was reached: every search returns at once
extern int32_t last_value;           // the value of the last decision

}  // namespace zerin
