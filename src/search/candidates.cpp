#include "search/candidates.h"

#include "board/hash_tables.h"
#include "board/patterns.h"
#include "core/check.h"
#include "core/rules.h"
#include "threats/collectors.h"
#include "threats/evaluation.h"
#include "threats/forbidden.h"
#include "threats/four_threat.h"

namespace zerin {

namespace {

constexpr double FACTOR_UNSET = 1000.0;

// Offset weight by distance to the nearest edge.
constexpr int16_t edge_weight_of_distance(int distance) {
  return distance <= 1 ? 40 : distance == 2 ? 32 : distance == 3 ? 26 : distance == 4 ? 20 : 15;
}

inline int edge_distance(int v, int size) { return v < size - 1 - v ? v : size - 1 - v; }

inline int edge_weight(const Board& b, int x, int y) {
  const int i = edge_distance(x, b.height), j = edge_distance(y, b.width);
  return edge_weight_of_distance(i < j ? i : j);
}

inline void append(Candidate* list, int& n, int x, int y) {
  list[n].x = static_cast<int16_t>(x);
  list[n].y = static_cast<int16_t>(y);
  ++n;
}

inline bool qualifies(const SearchNode& node, int x, int y) {
  if (node.w.board.cells[x][y] != EMPTY || node.w.stamped(node.ply, x, y)) return false;
  return !(node.root && node.w.blocks.blocked(x, y));
}

// Bits of positions lo..hi in a direction-0 line word.
inline uint64_t row_span(int lo, int hi) {
  return ((uint64_t{1} << (2 * (hi - lo + 1))) - 1) << (2 * lo + 8);
}

inline bool cell_has_stone(const Board& b, int x, int y) { return on_board(b, x, y) && b.cells[x][y] != EMPTY; }

int general_stage(SearchNode& node) {
  const Board& b = node.w.board;
  Candidate* list = node.list;
  const int s = node.side - 1, o = 2 - node.side;
  const int caution = node.w.settings.caution_factor;
  int n = 0;
  bool strong = false;
  // First pass: cells on two or more lines that already carry a two of one player.
  for (int x = 0; x < b.height; ++x)
    for (int y = 0; y < b.width; ++y) {
      if (!qualifies(node, x, y)) continue;
      const CellSummary* c = b.cell_summaries[x][y];
      if (c[s].value_sum > 7 || c[o].value_sum > 8) strong = true;
      int black = 0, white = 0;
      for (int d = 0; d < 4; ++d) {
        black += slot_code(b.dir_shapes[x][y][d], 0) >= SHAPE_TWO_OR_MORE;
        white += slot_code(b.dir_shapes[x][y][d], 1) >= SHAPE_TWO_OR_MORE;
      }
      if (black >= 2 || white >= 2) append(list, n, x, y);
    }
  if (!node.root) {
    if (n > 0 && node.ply >= 2 && node.alpha > -DECIDED_BOUND && !node.pv && caution < 3) return n;
    if (node.accepted >= 1 && node.ply >= 2 && node.tdepth <= 4 && !node.pv && caution <= 2) return n;
  }
  // Second pass: cells of some value near a stone.
  if (strong) {
    const bool square_test = !node.root || caution == 0;
    for (int x = 0; x < b.height; ++x)
      for (int y = 0; y < b.width; ++y) {
        if (!qualifies(node, x, y)) continue;
        const CellSummary* c = b.cell_summaries[x][y];
        if ((c[s].value_sum > 7 || c[o].value_sum > 8) && (!square_test || area_has_stone(b, x, y, false)))
          append(list, n, x, y);
      }
    if (n > 0) {
      if (node.root) {
        if (caution == 0) return n;
      } else if (caution == 0 || node.ply >= 2 || (node.accepted + n > 10 && !node.pv) || node.accepted + n > 18) {
        return n;
      }
    }
  }
  // Third pass: every cell near a stone.
  const bool star = node.root && node.accepted <= 18 && caution != 0;
  for (int x = 0; x < b.height; ++x)
    for (int y = 0; y < b.width; ++y)
      if (qualifies(node, x, y) && area_has_stone(b, x, y, star)) append(list, n, x, y);
  // Fourth pass (root): nothing near any stone, e.g. an empty board.
  if (node.root && node.accepted == 0 && n == 0)
    for (int x = 0; x < b.height; ++x)
      for (int y = 0; y < b.width; ++y)
        if (qualifies(node, x, y)) append(list, n, x, y);
  return n;
}

int open_four_defence(SearchNode& node, int* phase) {
  Board& b = node.w.board;
  Candidate* list = node.list;
  const int side = node.side, opp = opponent(side);
  const int n = collect_open_four_points(b, list, opp);
  if (n == 0) return 0;
  int chosen = 0;
  bool all_forbidden = false;
  if (b.rule == RULE_RENJU && side == WHITE) {
    while (chosen < n && is_forbidden(b, list[chosen].x, list[chosen].y)) ++chosen;
    if (chosen == n) {
      all_forbidden = true;
      chosen = 0;
    }
  }
  int m = n + defence_points(b, list + n, opp, list[chosen].x, list[chosen].y);
  m += collect_four_points(b, list + m, side);
  *phase = all_forbidden ? STAGE_OPEN_FOUR_DEFENCE : STAGE_DEFENCE_ONLY;
  return m;
}

double evaluation_factor(SearchNode& node) {
  if (node.cached_eval == NO_VALUE) node.cached_eval = evaluate_position(node.w, node.depth - 1, node.side);
  const int ev = node.cached_eval;
  if (ev >= 600) return 0.0;
  if (ev >= 500) return 0.1;
  if (ev >= 400) return 0.2;
  if (ev >= 300) return 0.4;
  if (ev >= 200) return 0.6;
  double f = ev >= 100 ? 0.8 : ev <= -500 ? 1.8 : ev <= -300 ? 1.6 : ev <= -200 ? 1.3 : ev <= -100 ? 1.1 : 1.0;
  const int s = player_index(node.side);
  if (node.w.board.room_total[s] <= node.w.board.room_total[1 - s]) f += 0.1;
  return f;
}

// How strong a threat a stone of side's on (x, y) makes, 0 (none) to 4, from what the
// stone makes (its value sum), on how many lines it builds, and how many winning cells
// (five and open-four points) lie around it.
int threat_class(const Board& b, int x, int y, int side) {
  const int s = player_index(side);
  const int value = b.cell_summaries[x][y][s].value_sum;
  if (value < VALUE_OPEN_THREE) return 0;
  int lines = 0;  // directions that carry at least an open two
  for (int d = 0; d < 4; ++d) lines += slot_code(b.dir_shapes[x][y][d], s) >= SHAPE_TWO_OR_MORE;
  const int winning = star_threat_count(b, x, y, side);
  if (value < VALUE_FOUR) {
    if (lines <= 1 || winning <= 4) return 1;
    if ((lines >= 3 && winning > 6) || winning > 8)
      return ((lines >= 3 && winning > 10) || (lines == 4 && winning > 8)) ? 4 : 3;
    return 2;
  }
  if (value < VALUE_FOUR_AND_TWO && winning <= 2) return 1;
  if (value < VALUE_FOUR_AND_THREE || winning <= 2) return 2;
  return ((lines == 4 && winning > 6) || (lines >= 3 && winning > 8)) ? 4 : 3;
}

// The offset (<= 0) added to the value of a weak threat's move: a lone four or three
// that the opponent answers at once is worth a little less than its static value says,
// the more so near the edge and with little room, and the less so when the side is
// ahead anyway (the node's evaluation factor).
int value_offset(int x, int y, int threat, SearchNode& node) {
  const Board& b = node.w.board;
  const int s = player_index(node.side);
  bool any_four = false, any_three = false;
  for (int d = 0; d < 4; ++d) {
    const int code = slot_code(b.dir_shapes[x][y][d], s);
    if (code >= SHAPE_FOUR) any_four = true;
    if (code >= SHAPE_SPLIT_THREE) any_three = true;
  }
  int base;
  if (any_four)
    base = threat == 1 ? -40 : threat == 2 ? -5 : 0;
  else if (any_three)
    base = threat == 1 ? -10 : threat == 2 ? -2 : 0;
  else
    base = 0;
  const int weight = edge_weight(b, x, y);
  int offset = base * weight / 40;
  if (offset != 0 && weight >= 20) {
    const int room = b.cell_summaries[x][y][s].room_sum;
    if (room < 18) {
      offset = static_cast<int>(offset * 1.1);
      if (room < 15) {
        offset = static_cast<int>(offset * 1.1);
        if (room < 12) offset = static_cast<int>(offset * 1.3);
      }
    }
    if (room > 22) offset = static_cast<int>(offset * 0.9);
    if (node.factor == FACTOR_UNSET) node.factor = evaluation_factor(node);
    offset = static_cast<int>(offset * node.factor);
  }
  return offset;
}

}  // namespace

SearchNode::SearchNode(SearchWorker& worker, int depth_, int alpha_, int beta_, int side_, int ext, bool root_)
    : w(worker),
      depth(depth_),
      alpha(alpha_),
      beta(beta_),
      side(side_),
      tdepth(depth_ + (ext >> 1)),
      ply(worker.iteration_depth - depth_),
      pv(root_ || beta_ != alpha_ + 1),
      root(root_),
      accepted(0),
      list(worker.lists[ply]),
      cached_eval(NO_VALUE),
      factor(FACTOR_UNSET) {
  expect([&] { return ply >= 0 && ply < MAX_PLIES; }, "a node's ply lies within the per-ply storage");
}

int forced_block_move(SearchNode& node) {
  const int o = player_index(opponent(node.side));
  const ThreatSets& t = node.w.board.threat_sets;
  if (t.set_rows[FIVE_POINTS][o] == 0) return 0;
  int fx, fy;
  first_cell(t.set_rows[FIVE_POINTS][o], t.row_mask[FIVE_POINTS][o], &fx, &fy);
  node.list[0].x = static_cast<int16_t>(fx);
  node.list[0].y = static_cast<int16_t>(fy);
  return 1;
}

bool area_has_stone(const Board& b, int x, int y, bool star) {
  const int lo = y - 2 < 0 ? 0 : y - 2;
  const int hi = y + 2 < b.width ? y + 2 : b.width - 1;
  const uint64_t span = row_span(lo, hi);
  for (int r = x - 2; r <= x + 2; ++r)
    if (r >= 0 && r < b.height && (b.lines[0][r] & span) != 0) return true;
  if (!star) return false;
  return cell_has_stone(b, x, y - 3) || cell_has_stone(b, x, y + 3) || cell_has_stone(b, x - 3, y - 3) ||
         cell_has_stone(b, x - 3, y) || cell_has_stone(b, x - 3, y + 3) || cell_has_stone(b, x + 3, y - 3) ||
         cell_has_stone(b, x + 3, y) || cell_has_stone(b, x + 3, y + 3);
}

int table_moves(SearchNode& node) {
  int xs[3] = {-1, -1, -1}, ys[3] = {-1, -1, -1};
  const Board& b = node.w.board;
  probe_table(1, node.alpha, node.beta, node.side, static_cast<uint32_t>(b.hash_key),
              static_cast<uint32_t>(b.hash_key >> 32), xs, ys, 3);
  int n = 0;
  for (int i = 0; i < 3; ++i)
    if (xs[i] != -1 && on_board(b, xs[i], ys[i]) && b.cells[xs[i]][ys[i]] == EMPTY) append(node.list, n, xs[i], ys[i]);
  return n;
}

int next_batch(SearchNode& node, int* phase) {
  const Board& b = node.w.board;
  Candidate* list = node.list;
  const int side = node.side, opp = opponent(side);
  for (int stage = *phase; stage <= STAGE_GENERAL; ++stage) {
    int n = 0;
    *phase = stage;
    switch (stage) {
      case STAGE_OWN_DOUBLE: n = collect_double_threat_points(b, list, side); break;
      case STAGE_OPEN_FOUR_DEFENCE: n = open_four_defence(node, phase); break;
      case STAGE_OPP_DOUBLE: n = collect_double_threat_points(b, list, opp); break;
      case STAGE_OWN_THREATS: n = collect_plain_threat_points(b, list, side); break;
      case STAGE_OPP_THREATS: n = collect_plain_threat_points(b, list, opp); break;
      default: n = general_stage(node); break;
    }
    if (n > 0) return n;
  }
  *phase = STAGE_END;
  return 0;
}

int score_batch(SearchNode& node, int count) {
  SearchWorker& w = node.w;
  Board& b = w.board;
  const int s = player_index(node.side), o = player_index(opponent(node.side));
  const bool black_renju = b.rule == RULE_RENJU && node.side == BLACK;
  uint64_t* stamps = w.visit_stamps[node.ply];
  const uint64_t visit = w.ply_visits[node.ply];
  int accepted = 0;
  for (int i = 0; i < count; ++i) {
    Candidate& c = node.list[i];
    const int x = c.x, y = c.y;
    if (stamps[x * MAX_SIDE + y] == visit || (black_renju && is_forbidden(b, x, y)) ||
        (node.root && w.blocks.blocked(x, y))) {
      c.score = SKIP_SCORE;
      continue;
    }
    stamps[x * MAX_SIDE + y] = visit;
    ++accepted;
    c.score = -(b.cell_summaries[x][y][s].value_sum + (b.cell_summaries[x][y][o].value_sum >> 1));
  }
  node.accepted += accepted;
  return accepted;
}

MoveAttributes move_attributes(int x, int y, SearchNode& node) {
  MoveAttributes a;
  a.threat_class = threat_class(node.w.board, x, y, node.side);
  if (a.threat_class == 0) {
    a.offset = 0;
    a.step = 0;
    return a;
  }
  a.offset = value_offset(x, y, a.threat_class, node);
  a.step = node.pv ? (a.threat_class + 1 < 4 ? a.threat_class + 1 : 4) : a.threat_class;
  return a;
}

namespace {

// The own values of a cell whose move may earn a threat extension: from two twos' worth
// up to just below a split open three (a three is extended by its threat class already);
// from a closed three's worth the extension is one step larger.
constexpr int EXTENSION_LOWEST_VALUE = 8;
constexpr int EXTENSION_HIGHEST_VALUE = VALUE_OPEN_THREE - 1;
constexpr int EXTENSION_STRONG_VALUE = 34;
constexpr int MAX_EXTENSION_STEP = 4;

}  // namespace

int threat_extension(SearchWorker& w, int depth, int side, int own_value, int step) {
  if (own_value < EXTENSION_LOWEST_VALUE || own_value > EXTENSION_HIGHEST_VALUE) return step;
  const int r = four_threat_search(w, depth - 1, side, ATTACKER, 0);
  if (w.abort_flag || r <= 0) return step;
  const int grown = step + 1 + (own_value >= EXTENSION_STRONG_VALUE ? 1 : 0);
  return grown < MAX_EXTENSION_STEP ? grown : MAX_EXTENSION_STEP;
}

}  // namespace zerin
