// Balance searches (zrbalanceone, zrbalancetwo): the move, or move pair, whose searched
// value lies closest to a target value for the side to move. They report on MESSAGE
// DETAIL lines only, and leave the game as it was.
#pragma once

#include <cstdint>

#include "search/worker.h"

namespace zerin {

void balance_one(SearchWorker& w, int32_t target);
void balance_two(SearchWorker& w, int32_t target);

}  // namespace zerin
