#include "control/swap2_book.h"

#include <cstdio>
#include <cstring>

#include "core/constants.h"

namespace zerin {

extern const char* const SWAP2_BOOK_TEXT;

namespace {

bool same(MovePoint a, MovePoint b) { return a.x == b.x && a.y == b.y; }

// One opening line into e; false when it is not one.
bool parse_entry(const char* line, Swap2BookEntry& e) {
  int consumed = 0;
  int c[6];
  if (std::sscanf(line, "%d %d %d %d,%d %d,%d %d,%d%n", &e.rule, &e.width, &e.height, &c[0], &c[1], &c[2], &c[3],
                  &c[4], &c[5], &consumed) != 9)
    return false;
  if (e.width < 1 || e.width > MAX_SIDE || e.height < 1 || e.height > MAX_SIDE) return false;
  for (int i = 0; i < 3; ++i) {
    e.cells[i] = {c[2 * i], c[2 * i + 1]};
    if (e.cells[i].x < 0 || e.cells[i].x >= e.height || e.cells[i].y < 0 || e.cells[i].y >= e.width) return false;
  }
  if (same(e.cells[0], e.cells[1]) || same(e.cells[0], e.cells[2]) || same(e.cells[1], e.cells[2])) return false;
  e.value_count = 0;
  const char* rest = line + consumed;
  int value = 0, used = 0;
  while (e.value_count < SWAP2_BOOK_VALUES && std::sscanf(rest, "%d%n", &value, &used) == 1) {
    e.values[e.value_count++] = value;
    rest += used;
  }
  return true;
}

}  // namespace

void parse_swap2_book(const char* text, Swap2Book& book) {
  book.count = 0;
  book.rejected = 0;
  char line[256];
  for (const char* start = text; *start != '\0';) {
    const char* end = std::strchr(start, '\n');
    const size_t length = end != nullptr ? static_cast<size_t>(end - start) : std::strlen(start);
    const size_t kept = length < sizeof line - 1 ? length : sizeof line - 1;
    std::memcpy(line, start, kept);
    line[kept] = '\0';
    start += length + (end != nullptr ? 1 : 0);
    const char* first = line + std::strspn(line, " \t\r");
    if (*first == '\0' || *first == '#') continue;
    Swap2BookEntry e;
    if (book.count < SWAP2_BOOK_CAPACITY && length == kept && parse_entry(first, e))
      book.entries[book.count++] = e;
    else
      ++book.rejected;
  }
}

const Swap2Book& builtin_swap2_book() {
  static Swap2Book book;  // about 56 KiB
  static const bool parsed = (parse_swap2_book(SWAP2_BOOK_TEXT, book), true);
  (void)parsed;
  return book;
}

int swap2_symmetry_count(int width, int height) { return width == height ? SWAP2_SYMMETRIES : SWAP2_SYMMETRIES / 2; }

MovePoint swap2_symmetry(MovePoint c, int s, int width, int height) {
  // Reflections first (x, then y), then the transposition of the square board.
  int x = (s & 1) != 0 ? height - 1 - c.x : c.x;
  int y = (s & 2) != 0 ? width - 1 - c.y : c.y;
  if ((s & 4) != 0) {
    const int t = x;
    x = y;
    y = t;
  }
  return {x, y};
}

bool swap2_book_holds(const Swap2BookEntry& e, const MovePoint* stones) {
  for (int s = 0; s < swap2_symmetry_count(e.width, e.height); ++s) {
    const MovePoint b1 = swap2_symmetry(e.cells[0], s, e.width, e.height);
    const MovePoint w = swap2_symmetry(e.cells[1], s, e.width, e.height);
    const MovePoint b2 = swap2_symmetry(e.cells[2], s, e.width, e.height);
    if (!same(w, stones[1])) continue;
    if ((same(b1, stones[0]) && same(b2, stones[2])) || (same(b1, stones[2]) && same(b2, stones[0]))) return true;
  }
  return false;
}

}  // namespace zerin
