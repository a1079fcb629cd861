// The Swap2 book: three-stone openings (black, white, black) that the engine's own long
// searches found even for white to move, per rule and board size. The engine proposes
// them at Swap2's first step, each in one of the board's symmetric images. The book is
// the text of book/swap2.txt, built into the program (tools/swap2_book.py makes it).
#pragma once

#include <cstdint>

#include "core/types.h"

namespace zerin {

// The values stored with an opening: white's value at each of the book's search budgets.
constexpr int SWAP2_BOOK_VALUES = 4;
constexpr int SWAP2_BOOK_CAPACITY = 1024;
// A square board has eight symmetric images of a position, a rectangle four.
constexpr int SWAP2_SYMMETRIES = 8;

struct Swap2BookEntry {
  int32_t rule = 0;    // the engine's playing rule (playing_rule of INFO rule)
  int32_t width = 0;
  int32_t height = 0;
  MovePoint cells[3] = {};  // black, white, black
  int32_t values[SWAP2_BOOK_VALUES] = {};
  int32_t value_count = 0;
};

struct Swap2Book {
  Swap2BookEntry entries[SWAP2_BOOK_CAPACITY];
  int32_t count = 0;
  int32_t rejected = 0;  // lines that are neither comments nor openings, or off their board
};

// Reads book lines into book (replacing what it held): "RULE WIDTH HEIGHT x,y x,y x,y"
// (black, white, black) and up to SWAP2_BOOK_VALUES values; '#' starts a comment line.
// A line with cells off its board, cells named twice or too few fields is counted as
// rejected; lines beyond the capacity too.
void parse_swap2_book(const char* text, Swap2Book& book);

// The book built into the program, read at the first call.
const Swap2Book& builtin_swap2_book();

// The number of symmetric images of a width by height board (8 square, 4 otherwise).
int swap2_symmetry_count(int width, int height);

// Cell c of a width by height board under the symmetry s (0 <= s < swap2_symmetry_count;
// 0 is the identity). The last four, the diagonal ones, exist on square boards only.
MovePoint swap2_symmetry(MovePoint c, int s, int width, int height);

// Whether the three stones (black, white, black) are the entry's opening under some
// symmetry of its board; the two black stones may come in either order.
bool swap2_book_holds(const Swap2BookEntry& e, const MovePoint* stones);

}  // namespace zerin
