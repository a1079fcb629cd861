// The recursive principal-variation alpha-beta search below the root.
#pragma once

#include "board/hash_tables.h"
#include "search/worker.h"

namespace zerin {

// Value of the worker's position for side (fail-soft), or 0 after an abort. A window
// with beta == alpha + 1 is a null window; ext is the accumulated extension credit.
int search_node(SearchWorker& w, int depth, int alpha, int beta, int side, int ext);

// Best moves of a node in ranking order, with their ranking values.
struct BestMoves {
  int x[3];
  int y[3];
  int rank[3];
};

void init_best_moves(BestMoves& best);
// Inserts a move by ranking value g; a later move with an equal g does not displace
// an earlier one.
void insert_best_move(BestMoves& best, int x, int y, int g);
// A value without moves, and a value with the node's best moves, for the worker's
// position.
inline void store_value(SearchWorker& w, int tdepth, int value, int bound, int side) {
  store_table(w.board.hash_key, w.game_moves, tdepth, value, bound, side, -1, -1, -1, -1, -1, -1);
}

inline void store_best(SearchWorker& w, int tdepth, int value, int bound, int side, const BestMoves& b) {
  store_table(w.board.hash_key, w.game_moves, tdepth, value, bound, side, b.x[0], b.y[0], b.x[1], b.y[1], b.x[2],
              b.y[2]);
}

// pv_table[ply] becomes (x, y) followed by the line of pv_table[ply + 1].
void extend_principal_variation(SearchWorker& w, int ply, int x, int y);

}  // namespace zerin
