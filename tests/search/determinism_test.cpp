// The same search, started afresh, must give the same result to the node. Hash keys
// come from the engine's generator, which has one state per thread and is never
// seeded, so each build of the tables in a thread continues where the last one ended:
// two searches in one thread use different keys, hence different table slots, and
// may differ. A fresh thread, like a fresh engine process, starts from the same state.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "search/root_search.h"
#include "support/engine_setup.h"

using namespace zerin;
using namespace zerin_test;

namespace {

// Midgame positions from real games, one per rule: rule, side length, moves.
struct Position {
  int rule, size;
  const char* moves;
};
const Position POSITIONS[] = {
    {0, 15, "7,7;8,6;9,7;8,7;8,8;9,9;10,6;11,5;9,4;9,5;10,5;10,4;11,6;12,7;12,6;13,6;7,8;7,9;8,9;9,8;9,10;6,7;"
            "10,11;11,12;10,9;8,11;5,4;8,3;6,5;6,6"},
    {1, 15, "7,7;8,6;9,7;10,7;7,6;7,8;8,8;8,7;6,9;7,9;6,6;5,5;6,7;6,5;8,5;5,8;5,7;4,8;9,4;10,3;10,5;11,5;7,4;9,3;"
            "5,2;6,3;7,3;7,5;7,2;3,5;4,5;8,3;4,3;4,4;3,4;6,1;2,3;5,6;7,1"},
    {2, 15, "7,7;5,8;9,9;8,8;9,7;6,7;7,6;7,8;9,8;9,10;8,9;6,8"},
};

std::vector<std::pair<int, int>> moves_of(const Position& p) {
  std::vector<std::pair<int, int>> moves;
  std::istringstream in(p.moves);
  int x, y;
  char comma, semicolon;
  while (in >> x >> comma >> y) {
    moves.emplace_back(x, y);
    in >> semicolon;
  }
  return moves;
}

struct Outcome {
  int depth = 0, value = 0, x = -1, y = -1;
  int64_t nodes = 0, expanded = 0;
  double tried = 0;
  std::vector<int> line;
  bool operator==(const Outcome& o) const {
    return depth == o.depth && value == o.value && x == o.x && y == o.y && nodes == o.nodes &&
           expanded == o.expanded && tried == o.tried && line == o.line;
  }
};

// Iterative deepening as the driver runs it, under a budget of 20 * 1024 nodes.
Outcome deepen(const Position& p) {
  new_board(p.rule, p.size, p.size);
  settings.max_node = 20;
  int who = 1;
  for (const auto& m : moves_of(p)) {
    put({{m.first, m.second, who}});
    who ^= 3;
  }
  Outcome out;
  for (int d = 1; d <= 12 && !worker.abort_flag; ++d) {
    worker.iteration_depth = d;
    worker.sole_candidate = 0;
    const int v = search_root(worker, who);
    if (worker.abort_flag && v == 0) break;
    out.depth = d;
    out.value = v;
    if (v >= DECIDED_BOUND || v <= -DECIDED_BOUND) break;
  }
  out.x = worker.best_move.x;
  out.y = worker.best_move.y;
  out.nodes = worker.node_count;
  out.expanded = worker.expanded_count;
  out.tried = worker.tried_sum;
  const Candidate* line = worker.pv_table[0];
  for (int i = 1; i <= line[0].score; ++i) out.line.push_back(line[i].x * 100 + line[i].y);
  return out;
}

// Runs the engine with input, until it replies with a move; returns what it wrote, with
// the clock readings (times and speeds) blanked.
std::string engine_session(const std::string& input) {
  int to_engine[2], from_engine[2];
  if (pipe(to_engine) != 0 || pipe(from_engine) != 0) return "pipe failed";
  const pid_t pid = fork();
  if (pid < 0) return "fork failed";
  if (pid == 0) {
    dup2(to_engine[0], 0);
    dup2(from_engine[1], 1);
    for (int fd : {to_engine[0], to_engine[1], from_engine[0], from_engine[1]}) close(fd);
    execl(ZERIN_ENGINE_PATH, ZERIN_ENGINE_PATH, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(to_engine[0]);
  close(from_engine[1]);
  signal(SIGPIPE, SIG_IGN);
  EXPECT_EQ(write(to_engine[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  FILE* out = fdopen(from_engine[0], "r");
  std::string text;
  char line[8192];
  const std::regex reply("^\\d+,\\d+\n$"), clock("(TIME:|Time: |Speed: |\\| )\\d+(ms)?");
  while (std::fgets(line, sizeof line, out) != nullptr) {
    text += std::regex_replace(line, clock, "$1#");
    if (std::regex_match(line, reply)) break;
  }
  EXPECT_EQ(write(to_engine[1], "END\n", 4), 4);
  close(to_engine[1]);
  std::fclose(out);
  int status = 0;
  waitpid(pid, &status, 0);
  return text;
}

}  // namespace

class Determinism : public EngineTest {};

TEST_F(Determinism, SearchRepeatsInAFreshThread) {
  for (const Position& p : POSITIONS) {
    Outcome first, second;
    std::thread([&] { first = deepen(p); }).join();
    std::thread([&] { second = deepen(p); }).join();
    EXPECT_TRUE(first == second) << "rule " << p.rule << ": " << first.nodes << " vs " << second.nodes << " nodes";
    EXPECT_GT(first.nodes, 20 * 1024) << "the budget ended the search";
    EXPECT_NE(first.x, -1);
  }
}

TEST_F(Determinism, FreshEngineProcessesAgree) {
  for (const Position& p : POSITIONS) {
    std::string input = "START " + std::to_string(p.size) + "\nINFO rule " + std::to_string(p.rule) +
                        "\nINFO max_node 20\nINFO hash_size 4096\nINFO timeout_turn 100000\nINFO show_detail 1\n"
                        "BOARD\n";
    for (const auto& m : moves_of(p)) input += std::to_string(m.first) + "," + std::to_string(m.second) + ",1\n";
    input += "DONE\n";
    const std::string first = engine_session(input), second = engine_session(input);
    EXPECT_EQ(first, second) << "rule " << p.rule;
    EXPECT_NE(first.find("MESSAGE Complexity:"), std::string::npos) << first;
    EXPECT_NE(first.find("Bestline: ["), std::string::npos) << first;
  }
}
