// Threat analysis on positions from real games: the Renju forbidden-point test over every
// empty cell, the static evaluation, and the four-threat search.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "board/board.h"
#include "board/hash_tables.h"
#include "core/clock.h"
#include "core/settings.h"
#include "threats/context.h"
#include "threats/evaluation.h"
#include "threats/forbidden.h"
#include "threats/four_threat.h"

using namespace zerin;

namespace {

// Games between two strong engines, black first, "x,y" joined by ';'.
const char* const FREE_GAME =
    "7,7;8,6;9,7;8,7;8,8;9,9;10,6;11,5;9,4;9,5;10,5;10,4;11,6;12,7;12,6;13,6;7,8;7,9;8,9;9,8;9,10;6,7;"
    "10,11;11,12;10,9;8,11;5,4;8,3;6,5;6,6;8,4;5,8;7,6;7,4;4,5;4,3;10,10;10,8;5,5;3,5;8,10;11,10;4,6;"
    "6,10;6,9;3,7;5,3;5,6;8,5;7,5;4,8;4,7;2,7;3,6;3,4;5,10;5,11;11,11;5,1;5,2;11,9;8,12;10,12;10,13;"
    "10,3;11,2;11,13;12,3;11,3;12,8;10,1;13,7;13,8;12,11;13,10;12,9;12,10;6,12;7,12;3,10;4,10;2,9;3,8;"
    "7,1;7,2;4,11;1,8;2,8;4,9;4,1;6,3;8,1;2,3;4,2;3,11;5,9;5,7;10,2;6,13;9,13;7,11;1,2";
const char* const STANDARD_GAME =
    "7,7;8,6;9,7;10,7;7,6;7,8;8,8;8,7;6,9;7,9;6,6;5,5;6,7;6,5;8,5;5,8;5,7;4,8;9,4;10,3;10,5;11,5;7,4;"
    "9,3;5,2;6,3;7,3;7,5;7,2;3,5;4,5;8,3;4,3;4,4;3,4;6,1;2,3;5,6;7,1";
const char* const STANDARD_GAME_2 =
    "7,7;8,8;9,8;10,7;8,6;9,5;7,6;7,5;5,6;6,6;5,7;6,5;5,5;5,8;6,7;4,7;8,7;9,7;7,8;8,9;8,5;6,9;8,4;8,3;"
    "9,4;10,3;5,4;5,3;4,5;3,4";
const char* const RENJU_GAME =
    "7,7;6,9;8,8;9,8;9,9;6,6;8,9;8,10;8,6;6,8;10,10;11,11;6,7;8,7;7,8;9,10;7,6;7,9;7,5;7,4;9,11;9,7;"
    "8,5;5,7;4,6;9,4;9,5;10,5;5,5;6,5;8,3;6,4;5,4;5,6;8,4;8,2;10,4;11,3;7,3;6,2;6,3;5,3;7,2;4,5;11,9;"
    "12,8;10,9;12,9;3,8;11,4;12,3;12,10;12,7;10,12;9,13;8,12;10,6;11,7;10,1;11,6;11,5;10,3;4,9;5,8;"
    "5,10;2,7;7,12;6,11;4,7;12,5;13,6;8,11;9,12;6,10;6,12;8,1;9,2;5,11;3,9;4,12;3,13;3,11;4,10;4,8;"
    "4,11;2,10;1,9;2,9;2,6;10,8;11,8;14,5;5,13;3,7;8,13;4,4;7,1;3,3;3,4;4,2;4,3;13,5;0,6;1,6;12,6;14,8;"
    "13,9;2,11;2,8;1,7;12,11";
const char* const RENJU_GAME_2 =
    "7,7;5,8;9,9;8,8;9,7;6,7;7,6;7,8;9,8;9,10;8,9;6,8;4,8;6,6;6,9;10,9;9,6;9,5;10,7;11,6;11,7;8,7;"
    "12,6;10,8;12,9;6,4;6,5;11,8;12,7;13,7";

struct Position {
  int rule;
  const char* moves;
  int count;  // moves of the game played
  int side;   // whose chances a four-threat search looks at
};

// Renju positions for the forbidden-point scan: an opening with a forbidden point, then
// middle games.
const Position RENJU_POSITIONS[] = {{2, RENJU_GAME_2, 12, 1},
                                    {2, RENJU_GAME_2, 30, 1},
                                    {2, RENJU_GAME, 61, 1},
                                    {2, RENJU_GAME, 84, 1},
                                    {2, RENJU_GAME, 111, 2}};

// Two middle games per rule for the evaluation.
const Position EVALUATION_POSITIONS[] = {
    {0, FREE_GAME, 30, 1},     {0, FREE_GAME, 88, 1},   {1, STANDARD_GAME_2, 30, 1},
    {1, STANDARD_GAME, 39, 2}, {2, RENJU_GAME_2, 30, 1}, {2, RENJU_GAME, 84, 1}};

// Positions where the searched side has fours to try (the searches with most nodes
// along these games).
const Position THREAT_POSITIONS[] = {{0, FREE_GAME, 88, 2},     {0, FREE_GAME, 66, 2},
                                     {1, STANDARD_GAME, 33, 1}, {2, RENJU_GAME, 61, 1},
                                     {2, RENJU_GAME, 65, 2}};

constexpr int SIDE = 15;

// The position analysed, and the analysis's context on it: its own settings with no
// node budget, and no one to stop it.
Board board;
EngineSettings unlimited;
const Relaxed<int32_t> never_stopped{0};
ThreatContext context(board, unlimited, never_stopped);

int built_rule = -1;

// Builds the tables when the rule changes, empties the hash tables, then replays the
// first p.count moves; false when the game is shorter.
bool set_up(const Position& p) {
  if (built_rule != p.rule) {
    hash_tables.trans_buckets = hash_tables.threat_buckets = 1024;
    build_game_tables(SIDE, p.rule);
    built_rule = p.rule;
  }
  resize_hash_tables();
  clear_hash_tables();
  reset_board(board, SIDE, SIDE, p.rule);
  const char* s = p.moves;
  int n = 0;
  while (n < p.count && *s != '\0') {
    int x = 0, y = 0, used = 0;
    if (std::sscanf(s, "%d,%d%n", &x, &y, &used) != 2) break;
    place_stone(board, x, y, n % 2 == 0 ? BLACK : WHITE);
    ++n;
    s += used;
    if (*s == ';') ++s;
  }
  unlimited.max_node = -1;
  context.game_moves = n;
  context.turn_limit = 1 << 30;
  context.decision_start = clock_ms();
  context.iteration_depth = 0;
  context.abort_flag = 0;
  return n == p.count;
}

void forbidden_scan(benchmark::State& state) {
  if (!set_up(RENJU_POSITIONS[state.range(0)])) return state.SkipWithError("game too short");
  int empty = 0, forbidden = 0;
  for (auto _ : state) {
    empty = forbidden = 0;
    for (int x = 0; x < SIDE; ++x)
      for (int y = 0; y < SIDE; ++y)
        if (board.cells[x][y] == EMPTY) {
          ++empty;
          forbidden += is_forbidden(board, x, y);
        }
    benchmark::DoNotOptimize(forbidden);
  }
  state.SetItemsProcessed(state.iterations() * empty);
  state.counters["forbidden"] = forbidden;
}
BENCHMARK(forbidden_scan)->DenseRange(0, 4)->ArgName("position");

void evaluation(benchmark::State& state) {
  const Position& p = EVALUATION_POSITIONS[state.range(0)];
  if (!set_up(p)) return state.SkipWithError("game too short");
  const int side = p.count % 2 == 0 ? 1 : 2;
  for (auto _ : state) benchmark::DoNotOptimize(evaluate_position(context, 0, side));
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("rule " + std::to_string(p.rule));
}
BENCHMARK(evaluation)->DenseRange(0, 5)->ArgName("position");

// One root search per iteration. Each runs under its own offset of the position key, so
// it finds nothing of the earlier ones in the table: a search on a cold table without
// the cost of clearing it.
void four_threat(benchmark::State& state) {
  const Position& p = THREAT_POSITIONS[state.range(0)];
  if (!set_up(p)) return state.SkipWithError("game too short");
  const uint64_t key = board.hash_key;
  uint64_t offset = 0;
  int64_t nodes = 0;
  int value = 0;
  for (auto _ : state) {
    offset += 0x9E3779B97F4A7C15u;
    board.hash_key = key ^ offset;
    context.node_count = 0;
    value = four_threat_search(context, 0, p.side, ATTACKER, 0);
    nodes += context.node_count;
  }
  board.hash_key = key;
  state.counters["nodes"] = benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsRate);
  state.counters["nodes_per_search"] = static_cast<double>(nodes) / static_cast<double>(state.iterations());
  state.SetLabel("rule " + std::to_string(p.rule) + (value != 0 ? ", wins" : ", no win"));
}
BENCHMARK(four_threat)->DenseRange(0, 4)->ArgName("position");

}  // namespace

BENCHMARK_MAIN();
