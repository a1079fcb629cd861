// The game set-up commands as the protocol answers them.
#pragma once

namespace zerin {

// START and RECTSTART: on a size from 1 to 24 each way, a new game of width by height
// and the greeting; otherwise the size error, and nothing changes.
void start_game(int width, int height);
// RESTART: a new game of the same size, and the greeting.
void restart_game();

}  // namespace zerin
