// Staged candidate generation, scoring and per-move attributes of the searches.
#pragma once

#include "search/worker.h"
#include "threats/context.h"

namespace zerin {

// Stages (phases) of a node's candidate batches.
enum Stage : int {
  STAGE_TABLE = 0,
  STAGE_OWN_DOUBLE = 1,
  STAGE_OPEN_FOUR_DEFENCE = 2,
  STAGE_OPP_DOUBLE = 3,
  STAGE_OWN_THREATS = 4,
  STAGE_OPP_THREATS = 5,
  STAGE_GENERAL = 6,
  STAGE_END = 7,
  STAGE_FORCED_BLOCK = 12,
  STAGE_DEFENCE_ONLY = 13,
};

// What the generator needs to know of the node it serves.
struct SearchNode {
  SearchNode(SearchWorker& worker, int depth, int alpha, int beta, int side, int ext, bool root);

  SearchWorker& w;
  int depth;
  int alpha;
  int beta;
  int side;
  int tdepth;     // table depth: depth plus half the extension credit
  int ply;
  bool pv;        // wider than a null window
  bool root;
  int accepted;   // candidates accepted by score_batch so far
  Candidate* list;
  int cached_eval;  // NO_VALUE until computed
  double factor;    // evaluation factor of the value offsets; 1000.0 until computed
};

struct MoveAttributes {
  int threat_class;  // 0..4
  int offset;        // value offset w <= 0
  int step;          // extension step q
};

// When the opponent has a five to complete, its first five point is the only move:
// written as the node's list, with 1 returned. Otherwise 0.
int forced_block_move(SearchNode& node);
// Stage 0 without its internal deepening: the table's stored moves on empty cells.
int table_moves(SearchNode& node);
// The next non-empty batch among stages *phase..6 (1 <= *phase <= 6) written to the
// node's list; *phase becomes the stage that ran (13 for the open-four defence unless
// it is followed by stage 3), or STAGE_END with a count of 0.
int next_batch(SearchNode& node, int* phase);
// Scores the batch, marks repeats (and forbidden or blocked cells) with SKIP_SCORE and
// stamps the accepted cells; returns how many were accepted.
int score_batch(SearchNode& node, int count);
MoveAttributes move_attributes(int x, int y, SearchNode& node);

// Whether a stone (or a blocked cell) lies in the 5 by 5 square around (x, y), or in
// the 33-cell star when star is set.
bool area_has_stone(const Board& b, int x, int y, bool star);

// A node's candidates batch by batch: the forced block alone, or the table's moves and
// then the stages in order. Each batch is scored (repeats and cells the side may not play
// marked to skip) and, but for the table's moves, sorted; its moves come in order up to
// the first one marked to skip. The node and the root search walk their moves with it.
class CandidateBatches {
 public:
  enum Loaded { BATCH, NO_BATCH, STOPPED };

  // forced_block: the node's list holds the forced block (forced_block_move).
  CandidateBatches(SearchNode& node, bool forced_block)
      : node_(node), phase_(forced_block ? STAGE_FORCED_BLOCK : STAGE_TABLE), count_(forced_block ? 1 : 0) {}

  // Loads the next batch: BATCH, or NO_BATCH when no stage is left. When the table holds
  // no move and may_deepen is set, deepen(), the caller's internal deepening (which leaves
  // moves in the table), runs first; when it returns false the node is over: STOPPED.
  template <typename Deepen>
  Loaded load(bool may_deepen, Deepen&& deepen) {
    if (started_) {
      if (phase_ >= STAGE_GENERAL) return NO_BATCH;  // also after a forced-block or defence-only batch
      ++phase_;
    }
    started_ = true;
    if (phase_ == STAGE_TABLE) {
      count_ = table_moves(node_);
      if (count_ == 0 && may_deepen) {
        if (!deepen()) return STOPPED;
        count_ = table_moves(node_);
      }
      if (count_ == 0) phase_ = STAGE_OWN_DOUBLE;
    }
    if (phase_ != STAGE_TABLE && phase_ != STAGE_FORCED_BLOCK) {
      count_ = next_batch(node_, &phase_);
      if (count_ == 0) return NO_BATCH;
    }
    score_batch(node_, count_);
    if (phase_ != STAGE_TABLE) sort_candidates(node_.w, node_.list, count_);
    index_ = -1;
    return BATCH;
  }

  // The batch's next move, or nullptr after its last one.
  const Candidate* next() {
    ++index_;
    if (index_ >= count_ || skipped(index_)) return nullptr;
    return &node_.list[index_];
  }

  int phase() const { return phase_; }
  int index() const { return index_; }  // of the move next() gave last
  int size() const { return count_; }
  bool skipped(int i) const { return node_.list[i].score == SKIP_SCORE; }

 private:
  SearchNode& node_;
  int phase_;
  int count_;
  int index_ = -1;
  bool started_ = false;
};

// A quiet move that prepares a threat sequence is searched deeper: when the cell's own
// value (before the stone) lies in the range of twos and threes that can grow into fours,
// and with the stone in place the side has a forced win by fours, the extension step
// grows. Returns the new step; run with the move's stone placed.
int threat_extension(SearchWorker& w, int depth, int side, int own_value, int step);

}  // namespace zerin
