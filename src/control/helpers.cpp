#include "control/helpers.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "control/game.h"
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

Relaxed<int32_t> helper_stop{0};  // the helpers' stop flag
Relaxed<int32_t> main_depth{0};   // the iteration the search thread is on

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

  // A process that ends by returning from main (the bench) must not leave threads behind.
  ~HelperPool() { resize(0); }

  // Makes the pool hold count helpers (run while none searches).
  void resize(int count) {
    while (static_cast<int>(helpers.size()) > count) {
      std::unique_ptr<Helper>& last = helpers.back();
      {
        std::lock_guard<std::mutex> guard(lock);
        last->quit = true;
      }
      signal.notify_all();
      last->thread.join();
      helpers.pop_back();
    }
    while (static_cast<int>(helpers.size()) < count) {
      helpers.push_back(std::make_unique<Helper>(static_cast<int>(helpers.size())));
      // A new helper waits for the next start, not for one that came before it.
      helpers.back()->generation = generation;
      helpers.back()->thread = std::thread(helper_main, helpers.back().get());
    }
  }
};
HelperPool pool;

void search_as_helper(Helper& h, int side) {
  SearchWorker& w = h.worker;
  const int deepest = std::min<int>(settings.max_depth, MAX_CELLS);
  for (int depth = 1; depth <= deepest && helper_stop <= 0; ++depth) {
    if (skips(h.index, depth)) continue;
    // Never behind the search thread: what a helper stores is of use to it only at the
    // depth it is on or deeper.
    if (depth <= main_depth) {
      depth = main_depth + 1;
      if (skips(h.index, depth)) ++depth;
      if (depth > deepest) break;
    }
    w.iteration_depth = depth;
    search_root(w, side);
    if (w.abort_flag) break;
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

void note_main_iteration(int depth) { main_depth = depth; }

void start_helpers(SearchWorker& main, int side) {
  const int count = std::max(1, std::min<int>(settings.thread_num, MAX_THREADS)) - 1;
  pool.resize(count);
  if (count == 0) return;
  std::lock_guard<std::mutex> guard(pool.lock);
  for (std::unique_ptr<Helper>& h : pool.helpers) {
    // The helpers wait for the next generation: their workers and positions are free.
    SearchWorker& w = h->worker;
    h->board = main.board;
    w.clear_counters();
    w.abort_flag = 0;
    w.decision_start = main.decision_start;
    w.turn_limit = main.turn_limit;
    w.game_moves = main.game_moves;
    w.pooled_nodes = &pool.nodes;
    w.pooled_so_far = 0;
    w.busy = &pool.busy;
  }
  pool.busy.clear();
  main.busy = &pool.busy;
  pool.nodes = main.node_count;
  main.pooled_nodes = &pool.nodes;
  main.pooled_so_far = main.node_count;
  helper_stop = 0;
  main_depth = 0;
  pool.side = side;
  pool.searching = count;
  ++pool.generation;
  pool.signal.notify_all();
}

int64_t stop_helpers(SearchWorker& main) {
  main.pooled_nodes = nullptr;
  main.busy = nullptr;
  if (pool.helpers.empty()) return 0;
  helper_stop = 1;
  std::unique_lock<std::mutex> lock(pool.lock);
  pool.signal.wait(lock, [] { return pool.searching == 0; });
  int64_t nodes = 0;
  for (const std::unique_ptr<Helper>& h : pool.helpers) nodes += h->worker.node_count;
  return nodes;
}

}  // namespace zerin
