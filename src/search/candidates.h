// Staged candidate generation, scoring and per-move attributes of the searches.
#pragma once

#include "search/worker.h"

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

}  // namespace zerin
