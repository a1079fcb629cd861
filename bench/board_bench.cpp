// Cost of making and taking back a move on a midgame position, and of building the
// tables for a rule. Run with --benchmark_repetitions=5 to get medians.
#include <benchmark/benchmark.h>

#include <vector>

#include "board/board.h"
#include "core/rules.h"

using namespace zerin;

namespace {

// Positions of 30 stones on 15 x 15 from games between strong engines, one per rule.
constexpr const char* MIDGAMES[3] = {
    "7,7;8,6;9,7;8,7;8,8;9,9;10,6;11,5;9,4;9,5;10,5;10,4;11,6;12,7;12,6;13,6;7,8;7,9;8,9;9,8;"
    "9,10;6,7;10,11;11,12;10,9;8,11;5,4;8,3;6,5;6,6",
    "7,7;8,8;9,8;10,7;8,6;9,5;7,6;7,5;5,6;6,6;5,7;6,5;5,5;5,8;6,7;4,7;8,7;9,7;7,8;8,9;"
    "8,5;6,9;8,4;8,3;9,4;10,3;5,4;5,3;4,5;3,4",
    "7,7;5,8;9,9;8,8;9,7;6,7;7,6;7,8;9,8;9,10;8,9;6,8;4,8;6,6;6,9;10,9;9,6;9,5;10,7;11,6;"
    "11,7;8,7;12,6;10,8;12,9;6,4;6,5;11,8;12,7;13,7",
};

constexpr int SIDE = 15;

// The position the benchmarks work on.
Board board;

void set_up_tables(int rule) { build_game_tables(SIDE, rule); }

// Sets up the rule's midgame and returns the empty cells within two steps of a stone:
// the cells a search actually tries.
std::vector<PlacedStone> set_up_midgame(int rule) {
  set_up_tables(rule);
  reset_board(board, SIDE, SIDE, rule);
  int colour = BLACK;
  for (const char* p = MIDGAMES[rule]; *p;) {
    int x = 0, y = 0;
    while (*p >= '0' && *p <= '9') x = x * 10 + (*p++ - '0');
    ++p;
    while (*p >= '0' && *p <= '9') y = y * 10 + (*p++ - '0');
    if (*p == ';') ++p;
    place_stone(board, x, y, colour);
    colour = opponent(colour);
  }
  std::vector<PlacedStone> cells;
  for (int x = 0; x < SIDE; ++x)
    for (int y = 0; y < SIDE; ++y) {
      if (board.cells[x][y] != EMPTY) continue;
      bool near = false;
      for (int i = 0; i < board.move_count && !near; ++i) {
        const int dx = board.move_list[i].x - x, dy = board.move_list[i].y - y;
        near = dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2;
      }
      if (near) cells.push_back(PlacedStone{x, y});
    }
  return cells;
}

template <bool LIGHT>
void BM_PlaceRemovePair(benchmark::State& state) {
  const int rule = static_cast<int>(state.range(0));
  const std::vector<PlacedStone> cells = set_up_midgame(rule);
  const int side = board.move_count % 2 + 1;
  size_t i = 0;
  for (auto _ : state) {
    const PlacedStone c = cells[i];
    if (++i == cells.size()) i = 0;
    if (LIGHT) {
      place_stone_light(board, c.x, c.y, side);
      remove_stone_light(board, c.x, c.y, side);
    } else {
      place_stone(board, c.x, c.y, side);
      remove_stone(board, c.x, c.y, side);
    }
    benchmark::ClobberMemory();
  }
  state.SetLabel("rule " + std::to_string(rule) + ", " + std::to_string(cells.size()) + " cells");
}

void BM_BuildGameTables(benchmark::State& state) {
  const int rule = static_cast<int>(state.range(0));
  set_up_tables(rule);
  for (auto _ : state) {
    build_game_tables(SIDE, rule);
    benchmark::ClobberMemory();
  }
  state.SetLabel("rule " + std::to_string(rule));
}

}  // namespace

BENCHMARK_TEMPLATE(BM_PlaceRemovePair, false)->DenseRange(0, 2);
BENCHMARK_TEMPLATE(BM_PlaceRemovePair, true)->DenseRange(0, 2);
BENCHMARK(BM_BuildGameTables)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
