// Coverage-guided fuzzing of the board bookkeeping (libFuzzer, with AddressSanitizer and
// UndefinedBehaviorSanitizer): random nested sequences of full and light placements and
// take-backs on boards of every size and rule, checked after every step against the
// bookkeeping worked out again from the cells (CodeModel, tests/board/bookkeeping_model.h).
//
// Input bytes:
//   0: rule (byte % 3); 1: width, 2: height (1 + byte % 24 each)
//   then steps, each an op byte o and, for a placement, two cell bytes:
//     o % 4 == 0 or 1: full placement of who = 1 + (o >> 2 & 1), or a blocked stone (3)
//                      when (o >> 2 & 7) == 7; light stones still down are taken back
//                      first, since full changes only come with none of them down
//     o % 4 == 2:      light placement of who = 1 + (o >> 2 & 1)
//     o % 4 == 3:      take back the last 1 + (o >> 2 & 3) placements
//   The cell is (b1 * 256 + b2) mod the number of cells; an occupied one moves on to the
//   next free cell in scan order.
// After every step the codes, line words, sums and threat sets must agree with the cells,
// and the whole bookkeeping with a twin board's that works out every take-back again;
// every take-back must restore the cells, line words, hash key and move list exactly, and
// so must the final unwind of everything still placed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/board.h"
#include "bookkeeping_model.h"

using namespace zerin;
using zerin_test::CodeModel;
using zerin_test::PlacementStack;
using zerin_test::PositionSnapshot;

namespace {

// The position the steps change, and its twin that works out every take-back again
// instead of using the undo journal.
Board board;
Board twin;

int built_rule = -1;
int built_size = -1;

[[noreturn]] void fail(const std::string& what, size_t step) {
  std::fprintf(stderr, "\n*** rule %d, %d wide, %d high, step %zu: %s\n", board.rule, board.width, board.height,
               step, what.c_str());
  std::abort();
}

// An empty board of the given size and rule; the tables are built again only when the
// rule or the square's side changes, as the engine's own rebuilds do.
void set_up(int rule, int width, int height) {
  const int size = width > height ? width : height;
  if (rule != built_rule || size != built_size) {
    build_game_tables(size, rule);
    built_rule = rule;
    built_size = size;
  }
  reset_board(board, width, height, rule);
}

bool free_cell_from(int index, int* x, int* y) {
  const int cells = board.width * board.height;
  for (int i = 0; i < cells; ++i) {
    const int c = (index + i) % cells;
    *x = c / board.width;
    *y = c % board.width;
    if (board.cells[*x][*y] == EMPTY) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  set_up(data[0] % 3, 1 + data[1] % 24, 1 + data[2] % 24);
  CodeModel model(board);
  const PositionSnapshot empty = PositionSnapshot::take(board);
  PlacementStack stack(board, model, &twin);

  size_t step = 0;
  const auto take_back = [&] {
    const PlacementStack::Undone u = stack.pop();
    if (!u.difference.empty())
      fail("taking back " + std::to_string(u.x) + "," + std::to_string(u.y) + " left the " + u.difference + " changed",
           step);
  };

  for (size_t i = 3; i < size; ++step) {
    const int op = data[i++];
    if (op % 4 == 3) {
      for (int k = 0; k <= (op >> 2 & 3) && !stack.empty(); ++k) take_back();
    } else {
      if (i + 2 > size) break;
      const int index = data[i] * 256 + data[i + 1];
      i += 2;
      const bool light = op % 4 == 2;
      int who = 1 + (op >> 2 & 1);
      if (!light) {
        if ((op >> 2 & 7) == 7) who = 3;
        while (stack.light_count() > 0) take_back();
      }
      int x, y;
      if (!free_cell_from(index, &x, &y)) continue;  // the board is full
      stack.push(x, y, who, light);
    }
    const std::string fault = model.fault(stack.light_count() == 0);
    if (!fault.empty()) fail(fault, step);
    const std::string twin_fault = stack.twin_difference();
    if (!twin_fault.empty()) fail(twin_fault, step);
  }
  while (!stack.empty()) take_back();
  const std::string difference = empty.difference(board);
  if (!difference.empty()) fail("after the final unwind the " + difference + " differs from the empty board", step);
  return 0;
}
