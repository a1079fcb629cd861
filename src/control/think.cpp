// Stand-in decision driver: plays the opening move or the first free cell after a
// limited idle search. Replaced by the real driver once the search exists.
#include "board/board.h"
#include "control/context.h"
#include "control/drivers.h"
#include "control/limits.h"
#include "protocol/game_record.h"
#include "protocol/output.h"

namespace zerin {

void think() {
  const int side = game.count % 2 + 1;
  node_count = 0;
  compute_turn_limit(true);
  best_move = {game.height / 2, game.width / 2};
  if (game.count > 0) {
    decision_start = clock_ms();
    abort_flag = 0;
    apply_rule();
    apply_hash_size();
    bool found = false;
    for (int x = 0; x < game.height && !found; ++x)
      for (int y = 0; y < game.width && !found; ++y)
        if (board.cells[x][y] == 0 && !block_grid[x][y]) {
          best_move = {x, y};
          found = true;
        }
    while (enter_node()) {
    }
  }
  const int x = best_move.x, y = best_move.y;
  if (position_built() && (!on_board(x, y) || board.cells[x][y] != 0)) {
    log_line("ERROR my move [%d,%d]", x, y);
    log_line("%d,%d", x, y);
    return;
  }
  if (position_built()) place_stone(x, y, side);
  game.moves[game.count++] = MoveRecord{x, y, side};
  log_line("%d,%d", x, y);
}

void balance_one() {}
void balance_two() {}

}  // namespace zerin
