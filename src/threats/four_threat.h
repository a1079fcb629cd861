// Forced wins by continuous fours, with the threat search's own result table.
#pragma once

#include <cstdint>

#include "threats/context.h"

namespace zerin {

// Value for side: WIN_VALUE + h (h = 576 - ply) for a win at once, a smaller decided
// value for a forced win, 0 for none (or after an abort), a decided loss at defender
// nodes. a is the calling node's remaining depth; the position is unchanged on return.
int four_threat_search(ThreatContext& c, int a, int side, int defending, int ply);
// WIN_VALUE + h when side wins at once: a five to complete, or an open four the
// opponent cannot answer with a five of its own (and, for Renju black, not forbidden).
int threat_win_check(Board& b, int h, int side);

}  // namespace zerin
