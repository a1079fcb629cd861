// A search worker: everything one search thread changes while it searches. The threat
// analysis's part (the position, node count, limits, scratch lists, evaluation stamps)
// comes from ThreatContext; the game-tree search adds its own counters, best move, visit
// stamps and lines of play. The drivers run one worker on the game's position.
#pragma once

#include <cstdint>

#include "core/types.h"
#include "search/busy.h"
#include "threats/context.h"

namespace zerin {

// Entry 0's score is the line's length; moves from entry 1.
constexpr int PV_CAPACITY = MAX_CELLS + 2;

struct SearchWorker : ThreatContext {
  SearchWorker(Board& position, const EngineSettings& engine_settings, const Relaxed<int32_t>& stop,
               const BlockGrid& blocked_cells)
      : ThreatContext(position, engine_settings, stop), blocks(blocked_cells) {}

  const BlockGrid& blocks;  // cells the root never plays
  bool reports = true;      // the root writes its realtime lines (a helper thread's does not)
  BusyTable* busy = nullptr;  // shared by the threads of a decision; none with one thread

  int64_t expanded_count = 0;  // nodes that generated moves
  double tried_sum = 0.0;      // moves tried at expanded nodes
  MovePoint best_move = {0, 0};  // the root's choice
  int32_t sole_candidate = 0;    // exactly one root move avoids a decided loss

  uint64_t ply_visits[MAX_PLIES] = {};             // per ply, the number of the node being searched
  uint64_t visit_stamps[MAX_PLIES][MAX_CELLS];  // a cell stamped with it was taken in that node
  Candidate pv_table[MAX_PLIES][PV_CAPACITY];       // the best line from each ply

  // An empty line at ply (length 0, no first move).
  void clear_principal_variation(int ply) {
    pv_table[ply][0].score = 0;
    pv_table[ply][1].x = pv_table[ply][1].y = -1;
  }

  bool stamped(int ply, int x, int y) const { return visit_stamps[ply][x * MAX_SIDE + y] == ply_visits[ply]; }

  // The per-decision counters, cleared by every driver before it searches.
  void clear_counters() {
    node_count = 0;
    expanded_count = 0;
    tried_sum = 0.0;
    min_remaining_depth = 0;
  }
};

}  // namespace zerin
