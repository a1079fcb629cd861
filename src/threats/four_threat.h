// Forced wins by continuous fours, with the threat search's own result table.
#pragma once

#include <cstdint>

#include "threats/context.h"

namespace zerin {

// The threat search's two kinds of node, which are also the two kinds of entry in its
// table: the attacker to move (does a four of its win?), and the defender facing a four.
enum ThreatRole : int { ATTACKER = 0, DEFENDER = 1 };

// Value for side: WIN_VALUE + level (level = 576 - ply) for a win at once, a smaller
// decided value for a forced win, 0 for none (or after an abort), a decided loss at
// defender nodes. depth is the calling node's remaining depth (it selects the scratch
// lists); the position is unchanged on return.
int four_threat_search(ThreatContext& c, int depth, int side, ThreatRole role, int ply);
// WIN_VALUE + level when side wins at once: a five to complete, or an open four the
// opponent cannot answer with a five of its own (and, for Renju black, not forbidden).
int threat_win_check(Board& b, int level, int side);

}  // namespace zerin
