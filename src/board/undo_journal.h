// The undo journal of the pattern bookkeeping: what each placement overwrote, so that its
// take-back can put the records back as they were instead of working them out again from
// the pattern tables.
//
// Putting back is not always the same as working out again: a direction's room is taken
// from the table only when its code changes, and a direction never reached since the
// reset keeps its start code, so a take-back may leave a slot with another code or room
// than it had before the placement. The placement foresees those slots (its fixups: the
// code and room the take-back would give them, and the ones the rule must judge again),
// and the take-back applies them after putting the rest back. A take-back that changes
// cells beyond its records stamps them with the journal's clock: an outstanding entry
// puts back only the cells not stamped since its placement, and works the lines of the
// others out again. A take-back without an entry of its own (the journal full, or a
// stone lifted out of order) works all its lines out again.
#pragma once

#include <cstdint>

#include "board/bookkeeping.h"
#include "core/constants.h"

namespace zerin {

// A record change_code is about to overwrite: one player's summary of a cell, and the
// slot along one direction. `place` packs the slot (bits 0-15), the cell x * MAX_SIDE + y
// (bits 16-25), the direction (26-27) and the player index (28).
struct SlotChange {
  CellSummary summary;
  uint32_t place;
};

inline uint32_t change_place(unsigned slot, int cell, int d, int p) {
  return slot | static_cast<uint32_t>(cell) << 16 | static_cast<uint32_t>(d) << 26 | static_cast<uint32_t>(p) << 28;
}

// A slot that the take-back of its placement does not simply put back: for player index
// p with bit p of `set` the take-back gives the slot p's code and room from `slot`; with
// bit p of `judge` the rule judges p's five or open four there again.
struct SlotFixup {
  ShapeSlot slot;
  uint16_t cell;
  uint8_t d;
  uint8_t set : 2;
  uint8_t judge : 2;
};

struct JournalEntry {
  uint8_t x, y, who;
  bool light;
  uint32_t placed_at;  // the journal's clock when the stone was placed
  int32_t eval_total[2];
  int32_t room_total[2];
  int32_t first_change;
  int32_t first_fixup;
};

// Nested placements: a search's plies and its threat sequences.
constexpr int JOURNAL_ENTRIES = 160;
constexpr int JOURNAL_CHANGES = 6144;
constexpr int JOURNAL_FIXUPS = 1536;
// The most one placement can write: 4 lines of 11 cells, 2 players, a code change and a
// correction by the rule each.
constexpr int PLACEMENT_CHANGES = 4 * 11 * 2 * 2;
constexpr int PLACEMENT_FIXUPS = 4 * 11;
constexpr int LIGHT_CELLS = 256;

struct UndoJournal {
  bool enabled = true;  // off: every take-back works its lines out again
  int entry_count = 0;
  int change_count = 0;
  int fixup_count = 0;
  // Take-backs that change cells beyond their records move the clock on and stamp the
  // cells with it.
  uint32_t clock = 0;
  uint32_t changed_at[MAX_CELLS] = {};
  bool changed_cells = false;  // the take-back under way has stamped a cell
  // Light stones down, and the cells whose values their take-backs changed beyond the
  // records (their double-threat points need a look once the light stones are all up;
  // more cells than the list holds: every cell).
  int light_depth = 0;
  int light_cell_count = 0;
  uint16_t light_cells[LIGHT_CELLS];
  // Whether every cell's double-threat bit agrees with its value_sum. Light placements
  // leave the bits alone, so a light take-back that does not restore every value can
  // leave a bit that disagrees, and a full take-back then cannot simply put the bits
  // back: it must work them out again by crossing the value the way it always did.
  bool double_points_exact = true;
  JournalEntry entries[JOURNAL_ENTRIES];
  SlotChange changes[JOURNAL_CHANGES];
  SlotFixup fixups[JOURNAL_FIXUPS];
};

}  // namespace zerin
