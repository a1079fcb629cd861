// Balance searches (zrbalanceone, zrbalancetwo): the move, or move pair, whose searched
// value lies closest to a target value for the side to move. The protocol commands
// report on MESSAGE DETAIL lines only, and leave the game as it was; the Swap2 driver
// runs the same search quietly and takes its best entries.
#pragma once

#include <cstdint>

#include "core/constants.h"
#include "core/types.h"
#include "search/worker.h"

namespace zerin {

// How many of the ranked entries a caller gets back.
constexpr int BALANCE_KEPT = 8;

// A candidate of a balance search: the side's move (first) and, in a pair search, the
// opponent's reply (second), with the distance of its searched value from the target.
struct BalanceChoice {
  int32_t score;
  MovePoint first;
  MovePoint second;
};

// Cells a balance search may use: 1 = allowed.
using CellMask = uint8_t[MAX_SIDE][MAX_SIDE];

struct BalanceOptions {
  bool report = true;                // the MESSAGE DETAIL lines of the protocol commands
  const CellMask* allowed = nullptr;  // null: every free cell the search would consider
};

struct BalanceOutcome {
  int32_t count = 0;  // entries kept in best (0: no free cell to play)
  int32_t depth = 0;  // the last completed iteration (0: the static ranking)
  // The final best entry first (the one the final report line names), then the entries
  // that followed it in the list, each with the distance it was last given.
  BalanceChoice best[BALANCE_KEPT] = {};
};

// The protocol commands: under the move's time limit, with their report lines.
void balance_one(SearchWorker& w, int32_t target);
void balance_two(SearchWorker& w, int32_t target);

// The search itself, under the worker's turn_limit as the caller set it (the protocol
// commands set it with compute_turn_limit). two: a move and the opponent's reply.
BalanceOutcome run_balance(SearchWorker& w, bool two, int32_t target, const BalanceOptions& options);

}  // namespace zerin
