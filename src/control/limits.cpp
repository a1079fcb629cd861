#include "control/limits.h"

#include <algorithm>

#include "board/hash_tables.h"
#include "control/game.h"
#include "control/helpers.h"
#include "core/clock.h"
#include "core/output.h"
#include "core/settings.h"

namespace zerin {

namespace {

// The size every table is rebuilt to at its next resize. A size cut down to fit
// max_memory is announced once, when it is taken.
void take_hash_size(int32_t buckets) {
  const int32_t asked = settings.hash_size;
  if (buckets < asked && buckets != hash_tables.requested_buckets)
    log_line("MESSAGE max_memory %d too small for %d hash buckets, using %d", static_cast<int>(settings.max_memory),
             asked, buckets);
  hash_tables.requested_buckets = buckets;
  hash_tables.trans_buckets = hash_tables.threat_buckets = buckets;
}

constexpr int64_t HASH_UNIT_BYTES = 2 * sizeof(TransBucket) + 4 * sizeof(ThreatBucket);  // 384
constexpr int64_t TABLE_ROUNDING = int64_t{2} << 20;  // the tables' block grows in 2 MiB steps

int64_t table_bytes(int64_t buckets) {
  return (buckets * HASH_UNIT_BYTES + TABLE_ROUNDING - 1) / TABLE_ROUNDING * TABLE_ROUNDING;
}

int64_t elapsed_ms(const SearchWorker& w) { return static_cast<int64_t>(clock_ms()) - w.decision_start; }

int64_t board_cells() { return static_cast<int64_t>(game.width) * game.height; }

// Steps 2 to 4 of the iteration-start rule; with_ample_time is false for the balance
// searches, whose time condition is the elapsed quarter alone.
bool may_start_iteration(const SearchWorker& w, int d, bool time_rule_applies, bool with_ample_time,
                         int room_margin) {
  const int32_t max_node = settings.max_node;
  const bool stopped = w.stop_flag > 0;
  bool budget_step = true;
  if (time_rule_applies) {
    const bool time_ok = elapsed_ms(w) * 4 < w.turn_limit || with_ample_time;
    const bool room_ok = game.count + static_cast<int64_t>(d) + room_margin <= board_cells();
    if (!(time_ok && room_ok && !stopped)) {
      if (!(max_node == -1 && !stopped)) return false;
      budget_step = false;
    }
  }
  if (budget_step && max_node != -1 && max_node < 1000000000 && (w.decision_nodes() / 1024) * 4 >= max_node)
    return false;
  return d <= settings.max_depth;
}

}  // namespace

bool compute_turn_limit(SearchWorker& w) {
  const int32_t time_left = settings.time_left;
  w.turn_limit = std::min<int32_t>(settings.timeout_turn, time_left / 16);
  // A record longer than the board (cells repeated before the first build) must not
  // make the divisor zero or negative.
  const int64_t remaining = std::max<int64_t>(1, board_cells() - game.count + 1);
  return time_left / remaining >= w.turn_limit;
}

bool think_may_start_iteration(const SearchWorker& w, int d, bool ample_time) {
  return may_start_iteration(w, d, d != 1, ample_time, 0);
}

bool balance_may_start_iteration(const SearchWorker& w, int d) { return may_start_iteration(w, d, true, false, 2); }

int32_t hash_buckets_within(int32_t hash_size, int32_t max_memory, int64_t other_bytes) {
  const int64_t fixed = FIXED_FOOTPRINT + other_bytes;
  if (max_memory <= 0 || fixed + table_bytes(hash_size) <= max_memory) return hash_size;
  int32_t buckets = 1;
  // hash_size itself does not fit, so neither does any power of two above it.
  while (buckets < (1 << 30) && fixed + table_bytes(int64_t{buckets} * 2) <= max_memory) buckets *= 2;
  return buckets;
}

int32_t wanted_hash_buckets() {
  const int64_t helpers = std::max<int32_t>(settings.thread_num, 1) - 1;
  return hash_buckets_within(settings.hash_size, settings.max_memory, helpers * helper_bytes());
}

void take_requested_hash_size() { take_hash_size(wanted_hash_buckets()); }

void prepare_hash_tables() {
  take_requested_hash_size();
  resize_hash_tables();
  ready_hash_tables();
}

void apply_hash_size() {
  // Compared with the last request rather than with hash_tables.trans_buckets: when memory was short
  // the tables hold fewer buckets than asked, and that size must not be retried (and
  // the tables cleared) before every search.
  const int32_t wanted = wanted_hash_buckets();
  if (wanted == hash_tables.requested_buckets) return;
  take_hash_size(wanted);
  resize_hash_tables();
  clear_hash_tables();
}

}  // namespace zerin
