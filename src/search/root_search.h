// One iteration of the iterative deepening at the root, with the realtime progress
// lines a board program shows while the engine thinks.
#pragma once

#include "search/worker.h"

namespace zerin {

// Searches w.iteration_depth plies for side. After an abort returns 0 when the iteration
// has no usable result, otherwise a non-zero value.
int search_root(SearchWorker& w, int side);

}  // namespace zerin
