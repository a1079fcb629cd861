#include "search/node_search.h"

#include <algorithm>

#include "board/hash_tables.h"
#include "search/candidates.h"
#include "threats/evaluation.h"
#include "threats/four_threat.h"

namespace zerin {

namespace {

inline uint32_t key_lo(const Board& b) { return static_cast<uint32_t>(b.hash_key); }
inline uint32_t key_hi(const Board& b) { return static_cast<uint32_t>(b.hash_key >> 32); }

// Moves a node puts off while other threads are busy with them.
constexpr int MAX_PUT_OFF = 32;

// Shallow null-window nodes stop after enough quiet moves of the later stages (the
// forced-block and defence-only batches count as later than all).
bool late_move_cut(int tdepth, int phase, int done) {
  const bool own_threats = phase >= STAGE_OWN_THREATS, opponent_threats = phase >= STAGE_OPP_THREATS;
  const bool general = phase >= STAGE_GENERAL;
  if (tdepth <= 1) return (own_threats && done >= 10) || (opponent_threats && done >= 7) || (general && done >= 6);
  if (tdepth == 2) return (own_threats && done >= 11) || (general && done >= 8);
  if (tdepth == 3) return opponent_threats && done >= 11;
  if (tdepth == 4) return general && done >= 12;
  return false;
}

}  // namespace

void init_best_moves(BestMoves& best) {
  for (int i = 0; i < 3; ++i) {
    best.x[i] = best.y[i] = -1;
    best.rank[i] = NO_VALUE;
  }
}

void insert_best_move(BestMoves& best, int x, int y, int g) {
  int slot;
  if (g > best.rank[0])
    slot = 0;
  else if (g > best.rank[1])
    slot = 1;
  else if (g > best.rank[2])
    slot = 2;
  else
    return;
  for (int i = 2; i > slot; --i) {
    best.x[i] = best.x[i - 1];
    best.y[i] = best.y[i - 1];
    best.rank[i] = best.rank[i - 1];
  }
  best.x[slot] = x;
  best.y[slot] = y;
  best.rank[slot] = g;
}

void extend_principal_variation(SearchWorker& w, int ply, int x, int y) {
  Candidate* line = w.pv_table[ply];
  const Candidate* below = w.pv_table[ply + 1];
  int length = below[0].score;
  if (length > PV_CAPACITY - 2) length = PV_CAPACITY - 2;
  line[1].x = static_cast<int16_t>(x);
  line[1].y = static_cast<int16_t>(y);
  for (int i = 1; i <= length; ++i) {
    line[i + 1].x = below[i].x;
    line[i + 1].y = below[i].y;
  }
  line[0].score = length + 1;
}

int search_node(SearchWorker& w, int depth, int alpha, int beta, int side, int ext) {
  Board& b = w.board;
  const int opp = opponent(side);
  const int s = player_index(side);
  const int ply = w.iteration_depth - depth;
  // No line can run this deep on a 24 by 24 board; the guard keeps the per-ply storage
  // in bounds whatever the depths.
  if (ply >= MAX_PLIES - 2) return evaluate_position(w, depth, side);
  w.clear_principal_variation(ply);
  if (!enter_node(w)) return 0;

  // A five to complete, or an open four the opponent cannot stop with a five of their own.
  if (const int win = threat_win_check(b, depth, side)) return win;

  SearchNode node(w, depth, alpha, beta, side, ext, false);
  BestMoves best_moves;
  init_best_moves(best_moves);
  const bool forced = forced_block_move(node) > 0;
  if (!forced) {
    if (!node.pv) {
      int xs[3] = {-1, -1, -1}, ys[3] = {-1, -1, -1};
      const int r = probe_table(node.tdepth, alpha, beta, side, key_lo(b), key_hi(b), xs, ys, 1);
      if (r != HASH_MISS) return r;
      best_moves.x[0] = xs[0];
      best_moves.y[0] = ys[0];
    }
    const int r = four_threat_search(w, depth, side, ATTACKER, 0);
    if (w.abort_flag) return 0;
    if (r > 0) {
      const int value = depth + r - MAX_CELLS;  // the threat search's level back to this depth
      store_value(w, node.tdepth, value, BOUND_EXACT, side);
      return value;
    }
    if (depth + 2 * (ext / 4) < 1) {
      const int value = evaluate_position(w, depth, side);
      store_value(w, node.tdepth, value, BOUND_EXACT, side);
      return value;
    }
  }

  ++w.expanded_count;
  ++w.ply_visits[ply];
  int best = NO_VALUE;
  int flag = BOUND_UPPER;
  int done = 0;  // candidates searched so far
  int deepened_value = 0;
  // With other threads searching, moves into positions one of them is busy with wait
  // at the end of the node (their phase kept in the score field).
  BusyTable* const busy = depth >= BUSY_MIN_DEPTH ? w.busy : nullptr;
  const BusyMark mark(busy, b.hash_key);
  Candidate put_off[MAX_PUT_OFF];
  int put_off_count = 0;
  int cut_value = 0;
  // The late-move rule ends the moves ranked below the one that triggers it. Moves put
  // off rank above it, so they are still searched, and without the rule: cutting them too
  // would leave the node an upper bound that misses its best moves, shared by every thread.
  bool late_cut_taken = false;

  // Searches one move; CUT when it refutes the node (cut_value holds the value), LATE
  // when the late-move rule ends the node's moves, else NEXT.
  enum Outcome { NEXT, CUT, LATE };
  auto search_move = [&](int x, int y, int phase) -> Outcome {
    const MoveAttributes attributes = move_attributes(x, y, node);
    const int offset = attributes.offset;
    int step = attributes.step;
    const int own_value = b.cell_summaries[x][y][s].value_sum;
    const uint64_t child_key = b.hash_key ^ zobrist_keys[x * MAX_SIDE + y][side - 1];
    prefetch_trans(opp, child_key);
    prefetch_threat(ATTACKER, opp, child_key);
    place_stone(b, x, y, side);
    if (node.pv && depth >= (-3 * w.iteration_depth) / 2) step = threat_extension(w, depth, side, own_value, step);
    int value;
    if (done > 0 && node.pv) {
      value = offset - search_node(w, depth - 1, offset - alpha - 1, offset - alpha, opp, ext + step);
      if (alpha < value && value < beta)
        value = offset - search_node(w, depth - 1, offset - beta, offset - alpha, opp, ext + step);
    } else {
      value = offset - search_node(w, depth - 1, offset - beta, offset - alpha, opp, ext + step);
    }
    remove_stone(b, x, y, side);
    if (w.abort_flag) {
      cut_value = 0;
      return CUT;
    }

    if (value > best) best = value;
    insert_best_move(best_moves, x, y, decided(value) ? value : std::max(alpha, value));
    if (value >= beta) {
      store_best(w, node.tdepth, value, BOUND_LOWER, side, best_moves);
      w.tried_sum += done + 1;
      cut_value = value;
      return CUT;
    }
    if (value > alpha) {
      alpha = value;
      node.alpha = value;
      flag = BOUND_EXACT;
      extend_principal_variation(w, ply, x, y);
    } else if (!late_cut_taken && w.settings.caution_factor <= 1 && ply >= 3 && best > -DECIDED_BOUND && !node.pv &&
               step <= 1 && late_move_cut(node.tdepth, phase, done)) {
      return LATE;
    }
    ++done;
    return NEXT;
  };

  CandidateBatches batches(node, forced);
  for (;;) {
    const CandidateBatches::Loaded loaded = batches.load(node.tdepth >= (node.pv ? 6 : 8), [&] {
      // Internal iterative deepening: a reduced search leaves moves in the table.
      const int reduction = node.pv ? 1 : node.tdepth / 4;
      const int r = search_node(w, depth - reduction - 2, alpha, beta, side, ext);
      if (w.abort_flag) return false;
      if (r >= beta && r > DECIDED_BOUND) {
        store_value(w, node.tdepth, r, BOUND_EXACT, side);
        deepened_value = r;
        return false;
      }
      return true;
    });
    if (loaded == CandidateBatches::STOPPED) return deepened_value;
    if (loaded == CandidateBatches::NO_BATCH) break;

    while (const Candidate* move = batches.next()) {
      const int x = move->x, y = move->y;
      if (busy != nullptr && done > 0 && put_off_count < MAX_PUT_OFF &&
          busy->busy(b.hash_key ^ zobrist_keys[x * MAX_SIDE + y][side - 1])) {
        put_off[put_off_count++] = Candidate{batches.phase(), static_cast<int16_t>(x), static_cast<int16_t>(y)};
        continue;
      }
      const Outcome outcome = search_move(x, y, batches.phase());
      if (outcome == CUT) return cut_value;
      if (outcome == LATE) {
        if (put_off_count == 0) goto finish;
        late_cut_taken = true;
        goto search_put_off;
      }
    }
  }
search_put_off:
  for (int i = 0; i < put_off_count; ++i) {
    const Outcome outcome = search_move(put_off[i].x, put_off[i].y, put_off[i].score);
    if (outcome == CUT) return cut_value;
    if (outcome == LATE) break;
  }

finish:
  const int value = best != NO_VALUE ? best : alpha;
  store_best(w, node.tdepth, value, flag, side, best_moves);
  w.tried_sum += node.accepted;
  if (node.accepted > 0) return value;
  if (w.game_moves + ply >= b.width * b.height) return 0;  // full board: a draw
  return std::max(alpha, -(NO_MOVE_LOSS + depth));
}

}  // namespace zerin
