#include "protocol/bench.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "control/game.h"
#include "control/search_thread.h"
#include "control/think.h"
#include "core/output.h"
#include "core/settings.h"
#include "protocol/command_loop.h"
#include "protocol/game_commands.h"

namespace zerin {

extern const char* const BUILTIN_POSITIONS_TEXT;

// Read with the C library rather than streams: streams would bring their locale machinery
// into the statically linked Windows program for this one use.
std::vector<SuitePosition> parse_positions(const std::string& text) {
  std::vector<SuitePosition> positions;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    SuitePosition p;
    int consumed = 0;
    if (std::sscanf(line.c_str(), "%d %d %d %n", &p.rule, &p.width, &p.height, &consumed) != 3) continue;
    for (const char* move = line.c_str() + consumed; *move != '\0';) {
      int x, y;
      if (std::sscanf(move, "%d,%d", &x, &y) == 2) p.moves.emplace_back(x, y);
      const char* next = std::strchr(move, ';');
      if (next == nullptr) break;
      move = next + 1;
    }
    positions.push_back(p);
  }
  return positions;
}

std::vector<SuitePosition> builtin_positions() { return parse_positions(BUILTIN_POSITIONS_TEXT); }

DecisionResult run_decision(const SuitePosition& position, int max_node, int max_depth, int timeout_turn) {
  mute_replies(true);
  settings.rule = position.rule;
  settings.max_node = max_node;
  settings.max_depth = max_depth;
  settings.timeout_turn = timeout_turn;
  settings.time_left = 1000000000;
  game.width = position.width;
  game.height = position.height;
  start_game(position.width, position.height);
  for (const auto& m : position.moves) record_opponent_move(m.first, m.second);
  const int before = game.count;
  SearchWorker& w = main_worker;
  think(w);
  mute_replies(false);

  DecisionResult r;
  if (game.count > before) {
    r.x = game.moves[game.count - 1].x;
    r.y = game.moves[game.count - 1].y;
  } else {
    r.x = w.best_move.x;
    r.y = w.best_move.y;
  }
  r.value = decision_memory.last_value;
  r.depth = w.iteration_depth;
  r.nodes = w.node_count;
  r.milliseconds = w.decision_start;
  return r;
}

int run_bench() {
  const std::vector<SuitePosition> positions = builtin_positions();
  settings.hash_size = BENCH_HASH;
  // A game charges the first table build of the process 200 ms of thinking time; the
  // bench times only what the decisions really take.
  game.first_build_pending = 0;
  std::printf("Zerin %s bench: %zu positions, %d x 1024 nodes each at most, %d hash buckets\n", ENGINE_VERSION,
              positions.size(), BENCH_BUDGET, BENCH_HASH);
  int64_t nodes = 0, milliseconds = 0;
  for (size_t i = 0; i < positions.size(); ++i) {
    const SuitePosition& p = positions[i];
    const DecisionResult r = run_decision(p, BENCH_BUDGET, 576, 100000000);
    nodes += r.nodes;
    milliseconds += r.milliseconds;
    std::printf("position %2zu/%zu rule %d %dx%d, %3zu moves: %d,%d value %d depth %d nodes %" PRId64 " %d ms\n",
                i + 1, positions.size(), p.rule, p.width, p.height, p.moves.size(), r.x, r.y, r.value, r.depth, r.nodes,
                r.milliseconds);
  }
  std::printf("\nTotal time (ms) : %" PRId64 "\nNodes searched  : %" PRId64 "\nNodes/second    : %" PRId64 "\n",
              milliseconds, nodes, nodes * 1000 / (milliseconds > 0 ? milliseconds : 1));
  std::fflush(stdout);
  return 0;
}

}  // namespace zerin
