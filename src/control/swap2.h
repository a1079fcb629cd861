// Swap2 openings (SWAP2BOARD). The first player places three stones (black, white,
// black); the second takes black, stays white and plays the fourth stone, or adds two
// stones (white, black) and lets the first player choose the colour. The engine decides
// each step with its own searches: the decision driver's deepening for white's value
// and move, and the pair balance search for stones that leave the game even.
#pragma once

#include <cstdint>

#include "control/balance.h"
#include "control/swap2_book.h"
#include "core/types.h"
#include "search/worker.h"

namespace zerin {

// The stone counts SWAP2BOARD takes.
constexpr int SWAP2_PROPOSE = 0;  // an empty board: the engine proposes three stones
constexpr int SWAP2_THREE = 3;    // the opponent's three stones
constexpr int SWAP2_FIVE = 5;     // the engine's three and the opponent's two more

// The stones of one SWAP2BOARD, in play order (black first). The command thread fills
// it while no search runs; the Swap2 driver reads it on the search thread.
struct Swap2Stones {
  int32_t count = 0;
  MovePoint cells[SWAP2_FIVE] = {};
};
extern Swap2Stones swap2_stones;

// What the Swap2 driver keeps from one decision to the next (a fresh process starts
// with none).
struct Swap2Memory {
  uint32_t openings = 0;  // openings this process has proposed: the variety stream's number
};
extern Swap2Memory swap2_memory;

enum Swap2Answer : int32_t {
  SWAP2_TAKE_BLACK = 0,  // "SWAP"
  SWAP2_STAY_WHITE = 1,  // one cell: white's next stone
  SWAP2_ADD_PAIR = 2,    // two cells, white's and black's: the opponent chooses the colour
};

// The choice for white's searched value (for white to move). At three stones: SWAP when
// the value is margin or more below even, white's move when it is margin or more above,
// otherwise two more stones when pair_allowed, and else the choice at five stones, where
// only the sign counts.
Swap2Answer answer_at_three(int32_t white_value, int32_t margin, bool pair_allowed);
Swap2Answer answer_at_five(int32_t white_value);
// The choice at three stones of a book opening: by the mean of the book's values for
// white (below 0 SWAP, otherwise white's move), unless the search's value for white is
// won or lost, which decides.
Swap2Answer answer_by_book(const Swap2BookEntry& e, int32_t white_value);

// Cells of the board an answer could use: not blocked by zrblock and not one of the
// stones.
int swap2_room(const Swap2Stones& stones);

// The opening variety: the index-th draw below bound (bound > 0) of the stream that the
// seed (INFO swap2_seed; 0 stands for a fixed default) and the opening's number in the
// process select. The same three numbers always give the same draw.
uint32_t opening_draw(int32_t seed, uint32_t opening, uint32_t index, uint32_t bound);

// Decides the answer to swap2_stones within the move's time, writes MESSAGE lines and
// exactly one answer line, and leaves the game record as a fresh game of its size.
void decide_swap2(SearchWorker& w);

}  // namespace zerin
