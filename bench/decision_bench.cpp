// Runs the engine's real decision on every benchmark position and prints, per position
// and in total: move, value, depth, nodes, milliseconds and nodes per second.
//
//   decision_bench [--nodes N] [--depth D] [--time MS] [--hash BUCKETS] [--threads T] [--positions FILE]
//
// --nodes N (default 200) is the node budget in units of 1024 nodes with the depth cap D
// (default 576) and no practical time limit; --time MS gives each position MS
// milliseconds instead and reports the depth reached. --nodes -1 with --depth D times each
// decision to depth D; --threads T (default 1) gives each decision T search threads.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "position_suite.h"
#include "protocol/settings.h"

using namespace zerin;

int main(int argc, char** argv) {
  int nodes = 200, depth = 576, time_ms = 0, hash = 0, threads = 1;
  std::string path = ZERIN_POSITIONS_FILE;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--nodes")) nodes = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--depth")) depth = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--time")) time_ms = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--hash")) hash = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--threads")) threads = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--positions")) path = argv[i + 1];
  }
  if (hash > 0) settings.hash_size = hash;
  settings.thread_num = threads;
  const auto positions = load_positions(path);
  std::printf("%-4s %-4s %-7s %-7s %-9s %-6s %-12s %-8s %-10s\n", "pos", "rule", "size", "move", "value", "depth",
              "nodes", "ms", "nodes/s");
  int64_t total_nodes = 0, total_ms = 0;
  for (size_t i = 0; i < positions.size(); ++i) {
    const SuitePosition& p = positions[i];
    const DecisionResult r = time_ms > 0 ? run_decision(p, 2000000000, 576, time_ms)
                                         : run_decision(p, nodes, depth, 100000000);
    total_nodes += r.nodes;
    total_ms += r.milliseconds;
    char size[16], move[16];
    std::snprintf(size, sizeof size, "%dx%d", p.width, p.height);
    std::snprintf(move, sizeof move, "%d,%d", r.x, r.y);
    std::printf("%-4zu %-4d %-7s %-7s %-9d %-6d %-12lld %-8d %-10lld\n", i, p.rule, size, move, r.value, r.depth,
                static_cast<long long>(r.nodes), r.milliseconds,
                static_cast<long long>(r.nodes * 1000 / (r.milliseconds + 1)));
  }
  std::printf("total: %lld nodes, %lld ms, %lld nodes/s\n", static_cast<long long>(total_nodes),
              static_cast<long long>(total_ms), static_cast<long long>(total_nodes * 1000 / (total_ms + 1)));
  return 0;
}
