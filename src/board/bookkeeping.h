// Incremental pattern bookkeeping: for every empty cell, direction and player the shape
// a stone there would make, the per-cell values, two running totals, and per player
// five sets of threat cells kept as three-level bit masks. The records live in the
// Board, which keeps them in step with every stone.
#pragma once

#include <cstdint>

#include "core/constants.h"

namespace zerin {

struct Board;

enum ThreatKind : int {
  FIVE_POINTS = 0,
  OPEN_FOUR_POINTS = 1,
  FOUR_POINTS = 2,
  THREE_POINTS = 3,
  DOUBLE_THREAT_POINTS = 4,
};

constexpr int DOUBLE_THREAT_VALUE = 316;  // value_sum that makes a double-threat point

// One direction of a cell: the shape a stone there would make along it for both
// players, packed as the pattern table's entries are (packed_patterns): bits 0-3 player
// 1's code, 4-7 player 2's, 8-11 and 12-15 their rooms. The room is the one last taken
// from the pattern table, which happens only when the player's code changes.
using ShapeSlot = uint16_t;

inline int slot_code(ShapeSlot s, int p) { return s >> (4 * p) & 15; }
inline int slot_room(ShapeSlot s, int p) { return s >> (8 + 4 * p) & 15; }
// The bits of player index p's code and room.
inline int slot_bits(int p) { return 0x0F0F << (4 * p); }

// One player's summary of a cell. Its combination value is value_sum plus the
// combination correction of the four codes (combo_table, indexed by `codes`).
struct CellSummary {
  int16_t value_sum;  // sum of the four directions' shape values
  uint16_t codes;     // the four directions' codes, direction 0 in bits 12-15
  int16_t room_sum;   // sum of the four rooms
  int16_t weighted;   // room_sum * combination value / 32
};

// The cells a change of (x, y) re-examines along one direction, within pattern_radius of
// it and on the board along that direction: `count` cells from the one `lo` steps on
// (lo <= 0 but for blocked padding cells), at positions `position` + lo.. of line word
// `word` of the direction's family.
struct LineReach {
  int8_t lo;
  uint8_t count;
  uint8_t word;
  uint8_t position;
};

struct ThreatSets {
  uint8_t dir_mask[4][2][MAX_SIDE][MAX_SIDE];  // kinds 0..3: bit d per direction
  int32_t row_mask[5][2][MAX_SIDE];            // bit y of word x: cell (x, y) in the set
  int32_t set_rows[5][2];                      // bit x: row_mask word x is non-zero
};

// reset_board's empty-board state: codes 1 on open lines, rooms, summaries, totals, and
// empty threat sets.
void init_empty_bookkeeping(Board& b);

// The bookkeeping of a stone placed on (x, y) or taken back from it, once the cell and
// the line words hold the change. A placement visits the cells within pattern_radius on
// its four lines and keeps what it overwrites in the undo journal; its take-back puts
// that back where it can (undo_journal.h) and visits the lines again where it cannot.
// The light versions leave the double-threat points alone.
void place_bookkeeping(Board& b, int x, int y, int who);
void place_bookkeeping_light(Board& b, int x, int y, int who);
void remove_bookkeeping(Board& b, int x, int y, int who);
void remove_bookkeeping_light(Board& b, int x, int y, int who);
// Whether the four a stone of player's on the empty (x, y) would make along d, with an
// empty cell at each end, wins whichever end the opponent takes: neither end may
// complete six or more (the rules but Caro), or (Caro, caro_open_four_stands) a five
// that Caro does not count once the opponent has taken the other end.
bool is_true_open_four(const Board& b, int x, int y, int d, int player);
bool caro_open_four_stands(const Board& b, int x, int y, int d, int player);

// Caro: whether the cell past an end of player's run blocks it (an opponent's stone, a
// blocked cell, or off the board: the edge blocks as a stone does).
bool caro_blocks(const Board& b, int x, int y, int player);
// Caro: whether a stone of player's on the empty (x, y) makes a run along d that wins:
// exactly five not blocked at both ends, or (under five or more) longer.
bool caro_five_wins(const Board& b, int x, int y, int d, int player);

}  // namespace zerin
