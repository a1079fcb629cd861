#include "control/helpers.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "control/game.h"
#include "core/clock.h"
#include "core/output.h"
#include "core/settings.h"
#include "search/root_search.h"

namespace zerin {

namespace {

// Helpers search different depths so that they do not all repeat the main search's
// work: helper i (from 0) skips depth d when ((d + SKIP_PHASE[k]) / SKIP_SIZE[k]) is odd,
// k = i % 20. The first helper searches the even depths, the next ones in longer strides.
constexpr int SKIP_SIZE[20] = {1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4};
constexpr int SKIP_PHASE[20] = {0, 1, 0, 1, 2, 3, 0, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5, 6, 7};

bool skips(int helper, int depth) {
  const int k = helper % 20;
  return ((depth + SKIP_PHASE[k]) / SKIP_SIZE[k]) % 2 != 0;
}

}  // namespace

int next_helper_depth(int helper, int depth, int main_iteration) {
  // Never behind the search thread: what a helper stores is of use to it only at the
  // depth it is on or deeper. A helper that has fallen behind joins the search thread's
  // iteration when that depth is one of its own: the two then share its moves (the busy
  // marks keep them apart) where a helper that jumped a depth ahead would search from a
  // table that does not yet hold the iteration below.
  depth = std::max(depth, main_iteration);
  while (skips(helper, depth)) ++depth;
  return depth;
}

namespace {

Relaxed<int32_t> helper_stop{0};  // the helpers' stop flag
Relaxed<int32_t> main_depth{0};   // the iteration the search thread is on
// > 0 once a helper completed an iteration that ends the decision: every thread stops.
Relaxed<int32_t> decision_complete{0};

struct Helper {
  explicit Helper(int helper_index) : index(helper_index), worker(board, settings, helper_stop, block_grid) {
    // The visit stamps must not match a ply's visit count by chance.
    std::memset(worker.visit_stamps, 0, sizeof worker.visit_stamps);
    worker.reports = false;
  }

  int index;
  Board board;
  SearchWorker worker;
  bool quit = false;         // guarded by pool.lock
  uint64_t generation = 0;   // the last generation of work taken; guarded by pool.lock
  std::thread thread;
};

void helper_main(Helper* h);

// The helpers and their hand-over. The search thread starts and stops them; each helper
// waits for a new generation of work, searches, and counts itself out.
struct HelperPool {
  std::mutex lock;
  std::condition_variable signal;
  std::vector<std::unique_ptr<Helper>> helpers;
  uint64_t generation = 0;  // bumped by every start: a helper runs once per generation
  int searching = 0;        // helpers still searching the current generation
  int side = 0;             // the side to move of the current generation
  std::atomic<int64_t> nodes{0};  // the decision's nodes over all workers
  BusyTable busy;                 // the nodes the decision's threads are searching
  std::mutex result_lock;         // guards deepest
  HelperIteration deepest;        // the deepest iteration a helper completed
  // The count a helper could not be added for (0: none failed); growing towards it is
  // not tried again.
  int failed_for = 0;

  // A process that ends by returning from main (the bench) must not leave threads behind.
  ~HelperPool() {
    wait_until_idle();
    shrink(0);
  }

  void wait_until_idle() {
    std::unique_lock<std::mutex> guard(lock);
    signal.wait(guard, [this] { return searching == 0; });
  }

  void shrink(int count) {
    while (static_cast<int>(helpers.size()) > count) {
      std::unique_ptr<Helper>& last = helpers.back();
      {
        std::lock_guard<std::mutex> guard(lock);
        last->quit = true;
      }
      signal.notify_all();
      last->thread.join();
      helpers.pop_back();
      failed_for = 0;
    }
  }

  bool grow(int count) {
    const int size = static_cast<int>(helpers.size());
    if (size >= count || failed_for == count) return false;
    try {
      helpers.reserve(static_cast<size_t>(size) + 1);  // the push below cannot fail then
      std::unique_ptr<Helper> h = std::make_unique<Helper>(size);
      // A new helper waits for the next start, not for one that came before it.
      h->generation = generation;
      h->thread = std::thread(helper_main, h.get());
      helpers.push_back(std::move(h));
      return true;
    } catch (const std::exception&) {  // no memory for the helper, or no thread for it
      failed_for = count;
      log_line("MESSAGE could not start another helper thread, searching with %d threads", size + 1);
      return false;
    }
  }
};
HelperPool pool;

// A completed iteration, kept when it is the deepest so far.
void publish_iteration(const SearchWorker& w, int depth, int value) {
  std::lock_guard<std::mutex> guard(pool.result_lock);
  HelperIteration& r = pool.deepest;
  if (depth <= r.depth) return;
  r.depth = depth;
  r.value = value;
  r.move = w.best_move;
  r.min_remaining_depth = w.min_remaining_depth;
  const int length = std::min<int>(w.pv_table[0][0].score, PV_CAPACITY - 1);
  for (int i = 0; i <= length; ++i) r.line[i] = w.pv_table[0][i];
  r.line[0].score = length;
}

void search_as_helper(Helper& h, int side) {
  SearchWorker& w = h.worker;
  const int deepest = std::min<int>(settings.max_depth, MAX_CELLS);
  for (int depth = next_helper_depth(h.index, 1, main_depth); depth <= deepest && helper_stop <= 0;
       depth = next_helper_depth(h.index, depth + 1, main_depth)) {
    w.iteration_depth = depth;
    w.sole_candidate = 0;
    const int value = search_root(w, side);
    if (w.abort_flag) break;
    publish_iteration(w, depth, value);
    if (iteration_ends_decision(depth, value, w.sole_candidate != 0)) {
      decision_complete = 1;
      break;
    }
  }
}

void helper_main(Helper* h) {
  std::unique_lock<std::mutex> lock(pool.lock);
  for (;;) {
    pool.signal.wait(lock, [&] { return h->quit || pool.generation != h->generation; });
    if (h->quit) return;
    h->generation = pool.generation;
    const int side = pool.side;
    lock.unlock();
    search_as_helper(*h, side);
    lock.lock();
    if (--pool.searching == 0) pool.signal.notify_all();
  }
}

}  // namespace

int64_t helper_bytes() { return static_cast<int64_t>(sizeof(Helper)); }

int helper_count() { return static_cast<int>(pool.helpers.size()); }

void shrink_helper_pool(int count) { pool.shrink(count); }

bool grow_helper_pool(int count) { return pool.grow(count); }

void note_main_iteration(int depth) { main_depth = depth; }

void start_helpers(SearchWorker& main, int side, int count) {
  pool.wait_until_idle();
  {
    // No iteration of an earlier decision may be taken for this one, whatever its threads.
    std::lock_guard<std::mutex> result_guard(pool.result_lock);
    pool.deepest.depth = 0;
  }
  pool.shrink(count);
  while (static_cast<int64_t>(clock_ms() - main.decision_start) * 4 < main.turn_limit && pool.grow(count)) {
  }
  if (pool.helpers.empty()) return;
  std::lock_guard<std::mutex> guard(pool.lock);
  for (std::unique_ptr<Helper>& h : pool.helpers) {
    // The helpers wait for the next generation: their workers and positions are free.
    SearchWorker& w = h->worker;
    h->board = main.board;
    w.clear_counters();
    w.abort_flag = 0;
    w.decision_start = main.decision_start;
    w.start_charge_ms = main.start_charge_ms;
    w.turn_limit = main.turn_limit;
    w.game_moves = main.game_moves;
    w.pooled_nodes = &pool.nodes;
    w.pooled_so_far = 0;
    w.busy = &pool.busy;
    w.decision_complete = &decision_complete;
    // The cell a root that searches no move leaves, as the search thread's.
    w.best_move = main.best_move;
    w.limit_test_mask = main.limit_test_mask;
    w.interval_start_ms = ThreatContext::NO_TEST;
  }
  pool.busy.clear();
  main.busy = &pool.busy;
  pool.nodes = main.node_count;
  main.pooled_nodes = &pool.nodes;
  main.pooled_so_far = main.node_count;
  main.decision_complete = &decision_complete;
  decision_complete = 0;
  helper_stop = 0;
  main_depth = 0;
  pool.side = side;
  pool.searching = static_cast<int>(pool.helpers.size());
  ++pool.generation;
  pool.signal.notify_all();
}

int64_t release_helpers(SearchWorker& main) {
  const bool pooled = main.pooled_nodes != nullptr;
  main.pooled_nodes = nullptr;
  main.busy = nullptr;
  main.decision_complete = nullptr;
  if (!pooled) return 0;
  helper_stop = 1;
  // What the search thread has added to the count is its own.
  return pool.nodes.load(std::memory_order_relaxed) - main.pooled_so_far;
}

void wait_for_helpers() { pool.wait_until_idle(); }

bool iteration_ends_decision(int depth, int value, bool sole_candidate) {
  return depth >= std::min<int>(settings.max_depth, MAX_CELLS) || decided(value) ||
         (sole_candidate && depth >= SOLE_MOVE_DEPTH);
}

bool deepest_helper_iteration(HelperIteration& out) {
  std::lock_guard<std::mutex> guard(pool.result_lock);
  if (pool.deepest.depth == 0) return false;
  out = pool.deepest;
  return true;
}

}  // namespace zerin
