// One iteration of the iterative deepening at the root, with the realtime progress
// lines a board program shows while the engine thinks.
#pragma once

namespace zerin {

// Searches iteration_depth plies for side. After an abort returns 0 when the iteration
// has no usable result, otherwise a non-zero value.
int search_root(int side);

}  // namespace zerin
