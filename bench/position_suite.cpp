#include "position_suite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "control/context.h"
#include "control/drivers.h"
#include "protocol/game_record.h"
#include "protocol/settings.h"

namespace zerin {

std::vector<SuitePosition> load_positions(const std::string& path) {
  std::vector<SuitePosition> positions;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    SuitePosition p;
    std::string moves;
    if (!(fields >> p.rule >> p.width >> p.height)) continue;
    fields >> moves;
    std::istringstream list(moves);
    std::string move;
    while (std::getline(list, move, ';')) {
      int x, y;
      if (std::sscanf(move.c_str(), "%d,%d", &x, &y) == 2) p.moves.emplace_back(x, y);
    }
    positions.push_back(p);
  }
  return positions;
}

DecisionResult run_decision(const SuitePosition& position, int max_node, int max_depth, int timeout_turn) {
  std::fflush(stdout);
  const int saved = dup(1);
  const int quiet = open("/dev/null", O_WRONLY);
  dup2(quiet, 1);
  close(quiet);

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
  think();

  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);

  DecisionResult r;
  if (game.count > before) {
    r.x = game.moves[game.count - 1].x;
    r.y = game.moves[game.count - 1].y;
  } else {
    r.x = best_move.x;
    r.y = best_move.y;
  }
  r.value = last_value;
  r.depth = iteration_depth;
  r.nodes = node_count;
  r.milliseconds = decision_start;
  return r;
}

}  // namespace zerin
