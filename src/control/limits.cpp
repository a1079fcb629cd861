#include "control/limits.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "board/hash_tables.h"
#include "control/game.h"
#include "control/helpers.h"
#include "core/clock.h"
#include "core/output.h"
#include "core/platform.h"
#include "core/settings.h"

namespace zerin {

namespace {

// The size every table is rebuilt to at its next resize.
void take_hash_size(int32_t buckets) {
  hash_tables.requested_buckets = buckets;
  hash_tables.trans_buckets = hash_tables.threat_buckets = buckets;
}

constexpr int64_t HASH_UNIT_BYTES = 2 * sizeof(TransBucket) + 4 * sizeof(ThreatBucket);  // 384
constexpr int64_t TABLE_ROUNDING = int64_t{2} << 20;  // the tables' block grows in 2 MiB steps

int64_t table_bytes(int64_t buckets) {
  return (buckets * HASH_UNIT_BYTES + TABLE_ROUNDING - 1) / TABLE_ROUNDING * TABLE_ROUNDING;
}

// The largest power of two not above n (n >= 1).
int32_t power_of_two_at_most(int32_t n) {
  int32_t p = 1;
  while (p <= n / 2) p *= 2;
  return p;
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

Machine this_machine() {
  // Asked once: the idle search thread works out the plan at every step.
  static const Machine machine = [] {
    Machine m;
    m.threads = std::thread::hardware_concurrency();
    m.memory_bytes = platform::physical_memory_bytes();
    return m;
  }();
  return machine;
}

MemoryPlan plan_memory(int32_t hash_size, int32_t max_memory, int32_t thread_num, const Machine& machine) {
  MemoryPlan p;
  p.threads_asked = std::max(1, std::min<int32_t>(thread_num, MAX_THREADS));
  p.threads_on_hardware = p.threads_asked;
  if (machine.threads > 0 && static_cast<uint32_t>(p.threads_asked) > machine.threads)
    p.threads_on_hardware = static_cast<int32_t>(machine.threads);
  p.size_asked = std::max<int32_t>(hash_size, 1);
  p.size_power_of_two = power_of_two_at_most(p.size_asked);
  p.size_within_memory = p.size_power_of_two;
  p.helpers_within_limit = p.threads_on_hardware - 1;
  if (max_memory <= 0) {
    // Without a limit the tables still leave the machine half its memory: a mapping
    // succeeds whatever the size, and faulting it in could swap the machine or call in
    // its out-of-memory killer.
    const uint64_t half = machine.memory_bytes / 2;
    while (half > 0 && p.size_within_memory > 1 && static_cast<uint64_t>(table_bytes(p.size_within_memory)) > half)
      p.size_within_memory /= 2;
    p.buckets_within_limit = p.size_within_memory;
  } else {
    // Helpers only next to tables of the floor's size; then the tables take what is left.
    const int32_t floor = std::min(p.size_power_of_two, FLOOR_BUCKETS);
    const int64_t room = static_cast<int64_t>(max_memory) - FIXED_FOOTPRINT - table_bytes(floor);
    const int64_t fit = room > 0 ? room / helper_bytes() : 0;
    p.helpers_within_limit = static_cast<int32_t>(std::min<int64_t>(p.helpers_within_limit, fit));
    p.buckets_within_limit =
        hash_buckets_within(p.size_power_of_two, max_memory, int64_t{p.helpers_within_limit} * helper_bytes());
  }
  p.buckets = p.buckets_within_limit;
  p.helpers = p.helpers_within_limit;
  return p;
}

namespace {

// The fallback lines last written, one per kind; a kind that stops applying is
// forgotten, so that it is announced again when it applies anew.
struct Announcements {
  std::mutex lock;
  char lines[5][128] = {};
};
Announcements announcements;

void announce(int kind, bool applies, const char* format, ...) __attribute__((format(printf, 3, 4)));
void announce(int kind, bool applies, const char* format, ...) {
  char* last = announcements.lines[kind];
  if (!applies) {
    last[0] = '\0';
    return;
  }
  char line[sizeof announcements.lines[0]];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (std::strcmp(line, last) == 0) return;
  std::memcpy(last, line, sizeof line);
  log_line("%s", line);
}

}  // namespace

MemoryPlan memory_plan() {
  return plan_memory(settings.hash_size, settings.max_memory, settings.thread_num, this_machine());
}

MemoryPlan announce_memory_plan() {
  const int32_t max_memory = settings.max_memory;
  const Machine machine = this_machine();
  const MemoryPlan p = plan_memory(settings.hash_size, max_memory, settings.thread_num, machine);
  std::lock_guard<std::mutex> guard(announcements.lock);
  announce(0, p.threads_on_hardware < p.threads_asked,
           "MESSAGE thread_num %d is more than the %d hardware threads, using %d", p.threads_asked,
           p.threads_on_hardware, p.threads_on_hardware);
  announce(1, p.size_power_of_two < p.size_asked, "MESSAGE hash_size %d is not a power of two, using %d", p.size_asked,
           p.size_power_of_two);
  announce(2, p.size_within_memory < p.size_power_of_two,
           "MESSAGE hash_size %d needs more than half of the %llu MiB of memory, using %d", p.size_power_of_two,
           static_cast<unsigned long long>(machine.memory_bytes >> 20), p.size_within_memory);
  announce(3, p.helpers_within_limit < p.threads_on_hardware - 1,
           "MESSAGE max_memory %d too small for %d threads, using %d", max_memory, p.threads_on_hardware,
           p.helpers_within_limit + 1);
  announce(4, p.buckets_within_limit < p.size_within_memory,
           "MESSAGE max_memory %d too small for %d hash buckets, using %d", max_memory, p.size_within_memory,
           p.buckets_within_limit);
  return p;
}

void apply_memory_plan(const MemoryPlan& plan) {
  shrink_helper_pool(plan.helpers);
  // Compared with the last request rather than with the tables' size: when memory was
  // short they hold fewer buckets than asked, and that size must not be tried again (and
  // the tables cleared) before every search.
  if (plan.buckets == hash_tables.requested_buckets && hash_tables.trans_allocated != 0) return;
  take_hash_size(plan.buckets);
  resize_hash_tables();
}

void apply_hash_size() { apply_memory_plan(announce_memory_plan()); }

}  // namespace zerin
