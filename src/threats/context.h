// What the threat analysis needs of the thread that runs it: the position it works on,
// the node count and limits of the running search, the per-ply candidate lists it
// borrows as scratch space, and the evaluation's stamps. The search's worker extends it
// with the rest of the search state; one of each exists per search thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/board.h"
#include "core/constants.h"
#include "core/settings.h"
#include "core/types.h"

namespace zerin {

// Plies: a ply's index grows by one per stone placed beyond the game record (and by a
// few more per internal deepening step), so the searches stay far below this; they
// also guard against reaching it.
constexpr int MAX_PLIES = MAX_CELLS + 64;
// The general stage may append a cell once per pass (three passes), on top of which the
// threat stages add a few entries.
constexpr int LIST_CAPACITY = 3 * MAX_CELLS + 8;

// A search stops this many milliseconds before its time limit, for the reply to go out.
constexpr int32_t REPLY_MARGIN_MS = 30;
// The searches test their limits every this many nodes (a power of two).
constexpr uint32_t LIMIT_TEST_INTERVAL = 1024;

struct ThreatContext {
  ThreatContext(Board& position, const EngineSettings& engine_settings, const Relaxed<int32_t>& stop)
      : board(position), settings(engine_settings), stop_flag(stop) {}
  ThreatContext(const ThreatContext&) = delete;
  ThreatContext& operator=(const ThreatContext&) = delete;

  Board& board;                     // the position searched, changed in nested place/remove pairs
  const EngineSettings& settings;   // read live: max_node, caution_factor, show_detail
  const Relaxed<int32_t>& stop_flag;  // > 0 asks the search to end

  // Limits of the running decision.
  int32_t decision_start = 0;  // clock at the start; afterwards the elapsed ms
  int32_t turn_limit = 0;      // ms allowed
  // How far decision_start was moved back to charge the decision for work done before
  // it (the first table build of the process): the clock really started this much later.
  int32_t start_charge_ms = 0;

  int64_t node_count = 0;           // nodes entered in this decision
  int32_t min_remaining_depth = 0;  // lowest remaining depth the threat search reached
  int32_t iteration_depth = 0;      // nominal depth of the running iteration
  int32_t abort_flag = 0;           // a limit was reached: every search returns at once
  int32_t game_moves = 0;           // moves of the game record: the tables' generation

  // The limit test runs at the nodes whose count has no bit of this mask set: every
  // LIMIT_TEST_INTERVAL nodes, or at every node (mask 0) while pages of the hash tables
  // are still to be faulted in. A fresh page can cost the system milliseconds (on a
  // virtual machine), and a thousand nodes of a search spread over the tables touch
  // nearly all of them: up to half a second for 192 MiB between two regular tests.
  uint32_t limit_test_mask = LIMIT_TEST_INTERVAL - 1;
  // This worker faults in the next stretch of table pages at each of those extra tests
  // (the search thread's worker: one thread does it).
  bool prepares_tables = false;
  // The clock at the last regular limit test, or at the first extra test of the
  // decision (NO_TEST before it): how long the current interval between regular tests
  // has run.
  int32_t interval_start_ms = NO_TEST;
  static constexpr int32_t NO_TEST = -1;

  // With helper threads, the decision's nodes over all its workers: each adds its count
  // here every 1024 nodes, and the node budget is tested on the sum. Null with one thread.
  std::atomic<int64_t>* pooled_nodes = nullptr;
  int64_t pooled_so_far = 0;  // of node_count, what this worker has added to pooled_nodes
  // With helper threads, > 0 once one of the decision's threads has completed the
  // iteration that ends the decision: the others stop at their next limit test.
  const Relaxed<int32_t>* decision_complete = nullptr;

  // The nodes of the running decision that count against its budget.
  int64_t decision_nodes() const {
    return pooled_nodes != nullptr ? pooled_nodes->load(std::memory_order_relaxed) : node_count;
  }

  Candidate lists[MAX_PLIES][LIST_CAPACITY];  // per ply of the search, scratch for the threats
  Candidate sort_buffer[LIST_CAPACITY];

  // A cell whose stamp equals the counter has been met in the running evaluation.
  uint64_t evaluation_stamps[MAX_CELLS] = {};
  uint64_t evaluation_counter = 0;

  // The scratch list for a remaining depth of the current iteration (the last list
  // stands in for any deeper index).
  Candidate* scratch_list(int depth) {
    const int index = iteration_depth - depth;
    return lists[index < MAX_PLIES ? index : MAX_PLIES - 1];
  }
};

// Run every LIMIT_TEST_INTERVAL nodes: whether the search may go on. When the node
// budget, the time or a stop ends it, sets abort_flag and returns false.
// The extra tests of limit_test_mask 0 in between keep the regular ones as they are and
// add a guard for the reply: a stop ends the search, and so does the time once the
// decision has really run for its limit less the reply margin (at least the margin),
// not counting start_charge_ms, but only in an interval between regular tests that has
// itself run for the margin: the regular test at its end would end the search then too,
// and only a search the system slows down (fresh pages) makes an interval that long.
bool search_limit_check(ThreatContext& c);

// Counts one node; runs the limit test when limit_test_mask says. False means abort now.
inline bool enter_node(ThreatContext& c) {
  ++c.node_count;
  if ((static_cast<uint32_t>(c.node_count) & c.limit_test_mask) == 0) return search_limit_check(c);
  return true;
}

// Stable ascending sort by score: equal scores keep the order they were generated in.
// Allocation-free (insertion sort for short lists, merging through the context's buffer
// otherwise).
void sort_candidates(ThreatContext& c, Candidate* list, int count);

}  // namespace zerin
