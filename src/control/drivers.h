// The drivers the search thread runs for a request.
#pragma once

#include "board/board.h"
#include "protocol/game_record.h"

namespace zerin {

void think();
void balance_one();
void balance_two();

// A cell the drivers may choose: empty and not blocked by zrblock.
inline bool free_cell(int x, int y) { return board.cells[x][y] == 0 && !block_grid[x][y]; }

}  // namespace zerin
