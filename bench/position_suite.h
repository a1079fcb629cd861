// Positions from real games, and the engine's real decision run on one of them
// in-process, for the benchmark program and the golden-decision test.
#pragma once

#include <cstdint>
#include <string>
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
std::vector<SuitePosition> load_positions(const std::string& path);

// Sets up the position as a new game (START, INFO rule, the moves) and runs the decision
// driver on the calling thread with its replies muted. max_node is in units of 1024 nodes
// (-1: none); timeout_turn in milliseconds.
DecisionResult run_decision(const SuitePosition& position, int max_node, int max_depth, int timeout_turn);

}  // namespace zerin
