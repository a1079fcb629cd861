// Forced wins by continuous fours, with the threat search's own result table.
#pragma once

#include <cstdint>

namespace zerin {

// Value for side: WIN_VALUE + h (h = 576 - ply) for a win at once, a smaller decided
// value for a forced win, 0 for none (or after an abort), a decided loss at defender
// nodes. a is the calling node's remaining depth; the position is unchanged on return.
int four_threat_search(int a, int side, int defending, int ply);
int threat_win_check(int h, int side);
int threat_probe(int kind, int h, int player, uint64_t key);
void threat_store(int value, int h, int kind, int player);

}  // namespace zerin
