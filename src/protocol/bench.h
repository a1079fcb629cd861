// The engine's real decision on a set of game positions, run in-process with its reply
// lines muted: the `bench` command line of the engine, the decision benchmark and the
// golden-decision test.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zerin {

struct SuitePosition {
  int rule = 0;
  int width = 15;
  int height = 15;
  std::vector<std::pair<int, int>> moves;  // x, y in the order played, black first
};

struct DecisionResult {
  int x = -1;
  int y = -1;
  int value = 0;
  int depth = 0;
  int64_t nodes = 0;
  int milliseconds = 0;
};

// Lines "RULE WIDTH HEIGHT x,y;x,y;..."; blank lines and lines starting with '#' skipped.
std::vector<SuitePosition> parse_positions(const std::string& text);

// The positions built into the engine (the benchmark positions of its sources).
std::vector<SuitePosition> builtin_positions();

// Sets up the position as a new game (START, INFO rule, the moves) and runs the decision
// driver on the calling thread with its replies muted. max_node is in units of 1024 nodes
// (-1: none); timeout_turn in milliseconds.
DecisionResult run_decision(const SuitePosition& position, int max_node, int max_depth, int timeout_turn);

// Node budget (units of 1024 nodes) and hash size of the bench command.
constexpr int BENCH_BUDGET = 200;
constexpr int BENCH_HASH = 65536;

// `pbrain-zerin bench`: the decision on every built-in position under BENCH_BUDGET, one
// line per position, then the total node count (the same on every build and system
// that plays exactly as this one) and the speed. Returns the process's exit status.
int run_bench();

}  // namespace zerin
