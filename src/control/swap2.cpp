#include "control/swap2.h"

#include <algorithm>
#include <cstdlib>

#include "control/game.h"
#include "control/limits.h"
#include "control/swap2_book.h"
#include "control/think.h"
#include "core/cell.h"
#include "core/output.h"
#include "core/settings.h"

namespace zerin {

Swap2Stones swap2_stones;
Swap2Memory swap2_memory;

namespace {

// At three stones with a pair allowed, the search for white gets this share of the
// move's usable time (the time up to the reply margin), in percent; the pair's balance
// search gets the rest. White's value decides between three answers, so it gets as
// much as the pair, which only has to be even.
constexpr int32_t SEARCH_SHARE_PERCENT = 50;
// The proposed opening's black stone lies at most this far from the centre, each way.
constexpr int CENTRE_REACH = 1;
// The stones a balance search adds lie at most this far, each way, from a stone on the
// board: openings stay compact (as Swap2 openings are), and the pair list stays short
// enough for a search of a few tenths of a second to get past its static ranking.
constexpr int PAIR_REACH = 2;
// A proposal may be any of the balance search's best entries whose distance from the
// target is within this of the best one's, so that the openings vary.
constexpr int32_t VARIETY_MARGIN = 10;
// swap2_seed 0 stands for this seed, which no INFO value (32 bits) can name.
constexpr uint64_t DEFAULT_SEED = (uint64_t{1} << 32) + 2015;
// The draws of an opening's stream: the pair search's black stone and entry, the book's
// symmetric image and entry.
constexpr uint32_t DRAW_CENTRE = 0;
constexpr uint32_t DRAW_PAIR = 1;
constexpr uint32_t DRAW_SYMMETRY = 2;
constexpr uint32_t DRAW_BOOK_ENTRY = 3;

// The cells a balance search of the current decision may use; kept off the stack.
struct Swap2Scratch {
  CellMask window = {};
};
Swap2Scratch scratch;

// The decision's time: every search of it ends by start + limit - REPLY_MARGIN_MS.
struct Swap2Clock {
  int32_t start = 0;    // the decision's start, charged with the first table build
  int32_t limit = 0;    // min(timeout_turn, time_left / 16), as for any move
  bool ample = false;   // compute_turn_limit's verdict, passed to the deepening
};

// A turn_limit for a search starting now that must end `until` ms after the decision's
// start. The reply margin is kept once, by the decision's last search: an earlier one
// may run up to its share's end.
int32_t limit_until(const Swap2Clock& c, int32_t until, bool last) {
  return c.start + until - clock_ms() + (last ? 0 : REPLY_MARGIN_MS);
}

int32_t usable_time(const Swap2Clock& c) { return std::max(0, c.limit - REPLY_MARGIN_MS); }

uint64_t mix(uint64_t z) {  // SplitMix64's finaliser
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// The game record holds the stones (and nothing else) and the position is built from it.
void load_stones(const MovePoint* cells, int count) {
  for (int i = 0; i < count; ++i) game.moves[i] = MoveRecord{cells[i].x, cells[i].y, i % 2 == 0 ? BLACK : WHITE};
  game.count = count;
  game.built = 0;
}

// Left as a fresh game of the same size: the BOARD that follows builds the game anew.
void clear_record() {
  game.count = 0;
  game.built = 0;
  decision_memory.last_value = 0;
}

// The cells within PAIR_REACH of the stones of the position, into scratch.window.
const CellMask* window_around_stones() {
  for (int x = 0; x < MAX_SIDE; ++x)
    for (int y = 0; y < MAX_SIDE; ++y) scratch.window[x][y] = 0;
  for (int i = 0; i < game.count; ++i) {
    const MoveRecord& m = game.moves[i];
    for (int x = std::max(0, m.x - PAIR_REACH); x <= std::min(game.height - 1, m.x + PAIR_REACH); ++x)
      for (int y = std::max(0, m.y - PAIR_REACH); y <= std::min(game.width - 1, m.y + PAIR_REACH); ++y)
        scratch.window[x][y] = 1;
  }
  return &scratch.window;
}

// The free cell nearest to `around` other than `besides` (either may be off the board),
// for the answers a search could not give; {-1, -1} when there is none.
MovePoint nearest_free_cell(MovePoint around, MovePoint besides) {
  MovePoint best = {-1, -1};
  int nearest = -1;
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y) {
      if (!free_cell(x, y) || (x == besides.x && y == besides.y)) continue;
      const int distance = std::abs(x - around.x) + std::abs(y - around.y);
      if (nearest < 0 || distance < nearest) {
        nearest = distance;
        best = {x, y};
      }
    }
  return best;
}

bool usable(MovePoint m) { return in_board(m.x, m.y) && free_cell(m.x, m.y); }

// White's value and move after a deepening that must end `until` ms into the decision.
struct WhiteSearch {
  int32_t value = 0;
  MovePoint move = {-1, -1};
};

WhiteSearch search_white(SearchWorker& w, const Swap2Clock& c, int32_t until, bool last) {
  w.clear_counters();
  w.turn_limit = limit_until(c, until, last);
  int64_t helper_nodes = 0;
  WhiteSearch s;
  s.value = deepen(w, WHITE, c.ample, &helper_nodes);
  s.move = w.best_move;
  if (!usable(s.move)) s.move = nearest_free_cell({game.height / 2, game.width / 2}, {-1, -1});
  log_line("MESSAGE SWAP2 WHITE VAL:%d DEPTH:%d TIME:%dms NODE:%dm [%d,%d]", clamp_display(s.value),
           w.iteration_depth, w.decision_start, static_cast<int>((w.node_count + helper_nodes) / 1000000), s.move.x,
           s.move.y);
  return s;
}

// The pair balance search for the side to move and the opponent's reply, aimed at even,
// within the window around the stones; its outcome holds no entry when the window
// leaves no pair to rank.
BalanceOutcome search_pair(SearchWorker& w, const Swap2Clock& c) {
  BalanceOptions options;
  options.report = false;
  options.allowed = window_around_stones();
  w.turn_limit = limit_until(c, c.limit, true);
  const int32_t target = settings.swap2_target;
  const BalanceOutcome outcome = run_balance(w, true, target, options);
  if (outcome.count > 0) {
    const BalanceChoice& b = outcome.best[0];
    log_line("MESSAGE SWAP2 PAIR |VAL%+d|:%d DEPTH:%d TIME:%dms NODE:%dm [%d,%d] [%d,%d]", -target,
             std::min(b.score, DISPLAY_LIMIT), outcome.depth, w.decision_start,
             static_cast<int>(w.node_count / 1000000), b.first.x, b.first.y, b.second.x, b.second.y);
  }
  return outcome;
}

// The proposal's black stone: a free cell near the centre drawn from the opening's
// stream, or else the free cell nearest the centre.
MovePoint proposal_centre(int32_t seed, uint32_t opening) {
  const int cx = game.height / 2, cy = game.width / 2;
  MovePoint near[(2 * CENTRE_REACH + 1) * (2 * CENTRE_REACH + 1)];
  uint32_t n = 0;
  for (int x = cx - CENTRE_REACH; x <= cx + CENTRE_REACH; ++x)
    for (int y = cy - CENTRE_REACH; y <= cy + CENTRE_REACH; ++y)
      if (in_board(x, y) && !block_grid.blocked(x, y)) near[n++] = {x, y};
  if (n > 0) return near[opening_draw(seed, opening, DRAW_CENTRE, n)];
  MovePoint best = {-1, -1};
  int nearest = -1;
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y) {
      const int distance = std::abs(x - cx) + std::abs(y - cy);
      if (!block_grid.blocked(x, y) && (nearest < 0 || distance < nearest)) {
        nearest = distance;
        best = {x, y};
      }
    }
  return best;
}

// The book's entry for these three stones (black, white, black) under the rule and on
// the board, in any symmetric image; null when the book has none or is turned off.
const Swap2BookEntry* book_entry_of(const Swap2Stones& stones) {
  if (settings.swap2_book == 0) return nullptr;
  const Swap2Book& book = builtin_swap2_book();
  const int32_t rule = playing_rule(settings.rule);
  for (int i = 0; i < book.count; ++i) {
    const Swap2BookEntry& e = book.entries[i];
    if (e.rule == rule && e.width == game.width && e.height == game.height && swap2_book_holds(e, stones.cells))
      return &e;
  }
  return nullptr;
}

void book_line(const Swap2BookEntry& e) {
  LineBuilder line;
  line_begin(line);
  line_append(line, "MESSAGE SWAP2 BOOK ENTRY:%d VAL:", static_cast<int>(&e - builtin_swap2_book().entries));
  for (int i = 0; i < e.value_count; ++i) line_append(line, i > 0 ? "/%d" : "%d", e.values[i]);
  line_finish(line);
}

// A book opening of the rule and board, in the symmetric image the opening's stream
// draws, among the entries whose cells zrblock leaves free; null when there is none.
const Swap2BookEntry* book_proposal(int32_t seed, uint32_t opening, MovePoint* cells) {
  if (settings.swap2_book == 0) return nullptr;
  const Swap2Book& book = builtin_swap2_book();
  const int32_t rule = playing_rule(settings.rule);
  const int s = static_cast<int>(
      opening_draw(seed, opening, DRAW_SYMMETRY, static_cast<uint32_t>(swap2_symmetry_count(game.width, game.height))));
  auto usable = [&](const Swap2BookEntry& e) {
    if (e.rule != rule || e.width != game.width || e.height != game.height) return false;
    for (const MovePoint& c : e.cells) {
      const MovePoint m = swap2_symmetry(c, s, game.width, game.height);
      if (block_grid.blocked(m.x, m.y)) return false;
    }
    return true;
  };
  uint32_t count = 0;
  for (int i = 0; i < book.count; ++i) count += usable(book.entries[i]) ? 1 : 0;
  if (count == 0) return nullptr;
  uint32_t k = opening_draw(seed, opening, DRAW_BOOK_ENTRY, count);
  for (int i = 0; i < book.count; ++i) {
    const Swap2BookEntry& e = book.entries[i];
    if (!usable(e) || k-- > 0) continue;
    for (int j = 0; j < 3; ++j) cells[j] = swap2_symmetry(e.cells[j], s, game.width, game.height);
    return &e;
  }
  return nullptr;
}

// No stones: an opening of the book when it has one for the rule and board; otherwise
// black near the centre, then the white and black stones of the pair search, one of its
// best entries drawn from the opening's stream.
void propose_opening(SearchWorker& w, Swap2Clock& c) {
  const int32_t seed = settings.swap2_seed;
  const uint32_t opening = swap2_memory.openings++;
  MovePoint cells[3];
  if (const Swap2BookEntry* e = book_proposal(seed, opening, cells)) {
    load_stones(cells, 0);
    w.decision_start = clock_ms();
    apply_rule(w);
    book_line(*e);
    log_line("%d,%d %d,%d %d,%d", cells[0].x, cells[0].y, cells[1].x, cells[1].y, cells[2].x, cells[2].y);
    return;
  }
  const MovePoint black = proposal_centre(seed, opening);
  load_stones(&black, 1);
  w.decision_start = clock_ms();
  apply_rule(w);
  c.start = w.decision_start;
  const BalanceOutcome pair = search_pair(w, c);
  MovePoint white_stone, black_stone;
  if (pair.count > 0) {
    int close = 1;
    while (close < pair.count && pair.best[close].score <= pair.best[0].score + VARIETY_MARGIN) ++close;
    const BalanceChoice& chosen = pair.best[opening_draw(seed, opening, DRAW_PAIR, close)];
    white_stone = chosen.first;
    black_stone = chosen.second;
  } else {  // the cells around the black stone are blocked
    white_stone = nearest_free_cell(black, {-1, -1});
    black_stone = nearest_free_cell(black, white_stone);
  }
  log_line("%d,%d %d,%d %d,%d", black.x, black.y, white_stone.x, white_stone.y, black_stone.x, black_stone.y);
}

// Three stones of a book opening: even by the book's longer searches, so no pair of
// stones can leave the game more even, and the engine takes the colour the book's value
// prefers. The search for white runs for the whole time, for white's stone.
void answer_book_three(SearchWorker& w, const Swap2Clock& c, const Swap2BookEntry& e) {
  const WhiteSearch white = search_white(w, c, c.limit, true);
  book_line(e);
  if (answer_by_book(e, white.value) == SWAP2_TAKE_BLACK)
    log_line("SWAP");
  else
    log_line("%d,%d", white.move.x, white.move.y);
}

// Three stones: white's value decides; close to even, two more stones that keep it so.
void answer_three(SearchWorker& w, const Swap2Clock& c) {
  const int room = swap2_room(swap2_stones);
  if (room == 0) {
    log_line("SWAP");
    return;
  }
  if (const Swap2BookEntry* e = book_entry_of(swap2_stones)) {
    answer_book_three(w, c, *e);
    return;
  }
  const bool pair_allowed = settings.swap2_pair != 0 && room >= 2;
  const int32_t until =
      pair_allowed ? static_cast<int32_t>(int64_t{usable_time(c)} * SEARCH_SHARE_PERCENT / 100) : c.limit;
  const WhiteSearch white = search_white(w, c, until, !pair_allowed);
  const int32_t margin = settings.swap2_margin;
  Swap2Answer answer = answer_at_three(white.value, margin, pair_allowed && w.stop_flag <= 0);
  if (answer == SWAP2_ADD_PAIR) {
    const BalanceOutcome pair = search_pair(w, c);
    if (pair.count > 0) {
      const BalanceChoice& b = pair.best[0];
      log_line("%d,%d %d,%d", b.first.x, b.first.y, b.second.x, b.second.y);
      return;
    }
    answer = answer_at_three(white.value, margin, false);
  }
  if (answer == SWAP2_TAKE_BLACK)
    log_line("SWAP");
  else
    log_line("%d,%d", white.move.x, white.move.y);
}

// Five stones: the colour whose side the search prefers.
void answer_five(SearchWorker& w, const Swap2Clock& c) {
  if (swap2_room(swap2_stones) == 0) {
    log_line("SWAP");
    return;
  }
  const WhiteSearch white = search_white(w, c, c.limit, true);
  if (answer_at_five(white.value) == SWAP2_TAKE_BLACK)
    log_line("SWAP");
  else
    log_line("%d,%d", white.move.x, white.move.y);
}

}  // namespace

Swap2Answer answer_at_three(int32_t white_value, int32_t margin, bool pair_allowed) {
  if (decided(white_value)) return answer_at_five(white_value);  // a won or lost game is clear at any margin
  if (white_value <= -margin && white_value < 0) return SWAP2_TAKE_BLACK;
  if (white_value >= margin && white_value > 0) return SWAP2_STAY_WHITE;
  if (pair_allowed) return SWAP2_ADD_PAIR;
  return answer_at_five(white_value);
}

Swap2Answer answer_at_five(int32_t white_value) { return white_value < 0 ? SWAP2_TAKE_BLACK : SWAP2_STAY_WHITE; }

Swap2Answer answer_by_book(const Swap2BookEntry& e, int32_t white_value) {
  if (decided(white_value)) return answer_at_five(white_value);
  int32_t sum = 0;  // its sign is the mean's
  for (int i = 0; i < e.value_count; ++i) sum += e.values[i];
  return answer_at_five(sum);
}

int swap2_room(const Swap2Stones& stones) {
  int room = 0;
  for (int x = 0; x < game.height; ++x)
    for (int y = 0; y < game.width; ++y) {
      if (block_grid.blocked(x, y)) continue;
      bool taken = false;
      for (int i = 0; i < stones.count; ++i) taken = taken || (stones.cells[i].x == x && stones.cells[i].y == y);
      room += !taken;
    }
  return room;
}

uint32_t opening_draw(int32_t seed, uint32_t opening, uint32_t index, uint32_t bound) {
  const uint64_t base = seed != 0 ? static_cast<uint64_t>(static_cast<uint32_t>(seed)) : DEFAULT_SEED;
  const uint64_t z = mix(mix(mix(base) + opening) + index);
  return static_cast<uint32_t>(z % bound);
}

void decide_swap2(SearchWorker& w) {
  Swap2Clock c;
  c.ample = compute_turn_limit(w);
  c.limit = w.turn_limit;
  if (swap2_stones.count == SWAP2_PROPOSE) {
    propose_opening(w, c);
  } else {
    load_stones(swap2_stones.cells, swap2_stones.count);
    w.decision_start = clock_ms();
    apply_rule(w);  // the first build of the process is charged to the decision
    c.start = w.decision_start;
    if (swap2_stones.count == SWAP2_THREE)
      answer_three(w, c);
    else
      answer_five(w, c);
  }
  clear_record();
}

}  // namespace zerin
