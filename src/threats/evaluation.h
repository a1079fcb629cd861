// Static evaluation of the position for the side to move.
#pragma once

#include "threats/context.h"

namespace zerin {

// Value of c.board for side; depth (the caller's remaining depth) selects the scratch
// list of ply iteration_depth - depth.
int evaluate_position(ThreatContext& c, int depth, int side);

}  // namespace zerin
