#include "control/search_thread.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "board/hash_tables.h"
#include "control/balance.h"
#include "control/game.h"
#include "control/helpers.h"
#include "control/limits.h"
#include "control/swap2.h"
#include "control/think.h"
#include "core/platform.h"
#include "core/settings.h"

namespace zerin {

Relaxed<int32_t> stop_flag{0};
SearchWorker main_worker(position, settings, stop_flag, block_grid);

namespace {

// Hand-over. request_lock guards the pending request; request_signal wakes the other
// side when a request is posted or taken. running_lock is held by the search thread for
// the whole run of a driver, and is taken before the request is acknowledged, so a
// stop_search issued after request_search always waits for that run.
struct Handover {
  std::mutex request_lock;
  std::condition_variable request_signal;
  std::mutex running_lock;
  bool request_pending = false;
  SearchRequest request_code = REQUEST_THINK;  // the pending request's driver
  int32_t request_target = 0;                  // and its balance target
  Relaxed<int32_t> ready_flag{0};
  // The idle thread works on memory only once the first command has been carried out:
  // when that command (or one soon after it) sets max_memory or hash_size, the block
  // mapped at start-up is never brought in at all. Guarded by request_lock.
  bool idle_allowed = false;
  Relaxed<int32_t> idle_allowed_seen{0};  // the same, readable without the lock
  bool idle_work = true;   // memory work may be left; guarded by request_lock
  bool idle_woken = false;  // wake_idle_work came during the current step; the same
};
Handover handover;

// Work that must not touch search state while a driver runs is deferred. search_active
// is true from request_search until the driver has returned.
//
// The memory work: what INFO (the memory plan: the helper pool and the tables' size), a
// new game and zrhashclear (a clear) leave for the search thread, and the faulting in of
// fresh table pages. None of it may fall between a request and the start of its
// decision's clock, where no limit sees it: the idle search thread does it a step at a
// time; a driver does what is left of the plan and the clear at its start, inside its
// decision's time, and its limit tests fault in the pages left (prepare_memory_for_search).
// The lock keeps the command thread's own use of the tables (zrshowforbid's position
// build) apart from the idle steps.
struct DeferredWork {
  std::mutex lock;
  bool search_active = false;
  bool show_forbidden = false;
  // zrhashclear, a new game or a position build: the tables are cleared before the next
  // search. Set without the lock, by whoever holds it or not.
  Relaxed<bool> clear_tables{false};
  // The command thread is waiting for the lock: the idle search thread starts no step.
  Relaxed<bool> command_waiting{false};
};
DeferredWork deferred;

// The command thread's hold on deferred.lock. The idle search thread takes the lock for
// one step after another, and a mutex is not fair: a command waiting for it could wait
// through many steps, and a request's wait falls before its decision's clock starts (a
// first decision's request waited over 300 ms while the tables were faulted in). Only
// the command thread takes this hold.
class CommandHold {
 public:
  CommandHold() {
    deferred.command_waiting = true;
    deferred.lock.lock();
    deferred.command_waiting = false;
  }
  ~CommandHold() { deferred.lock.unlock(); }
  CommandHold(const CommandHold&) = delete;
  CommandHold& operator=(const CommandHold&) = delete;
};

void run_pending_work() {
  std::lock_guard<std::mutex> guard(deferred.lock);
  deferred.search_active = false;
  if (deferred.show_forbidden) show_forbidden(main_worker);
  deferred.show_forbidden = false;
}

// One step of memory work; false when none is left. Surplus helpers go before the
// tables are made anew, and new helpers come after, so that the process never holds more
// than the old or the new plan allows.
bool idle_step() {
  std::lock_guard<std::mutex> guard(deferred.lock);
  const MemoryPlan plan = memory_plan();
  if (helper_count() > plan.helpers || plan.buckets != hash_tables.requested_buckets ||
      hash_tables.trans_allocated == 0) {
    apply_memory_plan(plan);
    return true;
  }
  if (grow_helper_pool(plan.helpers)) return true;
  if (deferred.clear_tables) {
    if (clear_hash_tables_step()) return true;
    deferred.clear_tables = false;
  }
  return prefault_hash_tables_step();
}

void wake_idle_work() {
  std::lock_guard<std::mutex> guard(handover.request_lock);
  handover.idle_work = handover.idle_woken = true;
  handover.request_signal.notify_all();
}

// The tables of the size asked for so far are mapped at start-up where the system allows
// it, and faulted in while idle (once commands have begun), so that the first decision
// does not pay for it.
void map_tables_at_start() {
  if (!platform::MAP_TABLES_AT_START) return;
  std::lock_guard<std::mutex> guard(deferred.lock);
  apply_memory_plan(memory_plan());
}

// Runs one request's driver, then the work deferred while it ran.
void run_request(SearchRequest code, int32_t target) {
  switch (code) {
    case REQUEST_BALANCE_ONE: balance_one(main_worker, target); break;
    case REQUEST_BALANCE_TWO: balance_two(main_worker, target); break;
    case REQUEST_SWAP2: decide_swap2(main_worker); break;
    default: think(main_worker); break;
  }
  // The reply is out; the helpers stop at their next limit test.
  wait_for_helpers();
  run_pending_work();
}

void search_thread_main() {
  std::unique_lock<std::mutex> lock(handover.request_lock);
  map_tables_at_start();
  handover.ready_flag = 1;
  for (;;) {
    while (!handover.request_pending) {
      if (!handover.idle_work || !handover.idle_allowed) {
        handover.request_signal.wait(lock);
        continue;
      }
      if (deferred.command_waiting) {  // the command has the lock first
        lock.unlock();
        std::this_thread::yield();
        lock.lock();
        continue;
      }
      handover.idle_woken = false;
      lock.unlock();
      const bool more = idle_step();
      lock.lock();
      // Work that came during the step gets another look.
      if (!more && !handover.idle_woken) handover.idle_work = false;
    }
    handover.running_lock.lock();
    // The request is read while the command thread still waits in request_search, so
    // the next command cannot overwrite it first.
    const SearchRequest code = handover.request_code;
    const int32_t target = handover.request_target;
    handover.request_pending = false;
    handover.request_signal.notify_all();
    lock.unlock();
    run_request(code, target);
    handover.running_lock.unlock();
    lock.lock();
    handover.idle_work = true;  // a resize or a clear during the run leaves work
  }
}

}  // namespace

void start_search_thread() {
  if constexpr (!platform::THREADS_AVAILABLE) {
    map_tables_at_start();
    return;
  }
  handover.ready_flag = 0;
  std::thread(search_thread_main).detach();
  while (handover.ready_flag == 0) std::this_thread::yield();
}

void allow_idle_work() {
  if (!platform::THREADS_AVAILABLE || handover.idle_allowed_seen) return;
  std::lock_guard<std::mutex> guard(handover.request_lock);
  handover.idle_allowed = true;
  handover.idle_allowed_seen = 1;
  handover.request_signal.notify_all();
}

void request_search(SearchRequest code, int32_t target) {
  stop_flag = 0;
  {
    const CommandHold hold;
    deferred.search_active = true;
  }
  if constexpr (!platform::THREADS_AVAILABLE) {
    run_request(code, target);  // the command thread searches itself
    return;
  }
  std::unique_lock<std::mutex> lock(handover.request_lock);
  handover.request_code = code;
  handover.request_target = target;
  handover.request_pending = true;
  handover.request_signal.notify_all();
  handover.request_signal.wait(lock, [] { return !handover.request_pending; });
}

void stop_search() {
  stop_flag = 1;
  wait_for_search();
}

void wait_for_search() {
  handover.running_lock.lock();
  handover.running_lock.unlock();
}

void memory_settings_changed() { wake_idle_work(); }

void prepare_memory_for_game() {
  announce_memory_plan();
  request_hash_clear();
}

void request_hash_clear() {
  deferred.clear_tables = true;
  wake_idle_work();
}

void want_hash_clear() { deferred.clear_tables = true; }

void prepare_memory_for_search(SearchWorker& w) {
  wait_for_helpers();
  std::lock_guard<std::mutex> guard(deferred.lock);
  apply_memory_plan(announce_memory_plan());
  // A stop (zrstop, END, a game command) does not wait for the clear: the rest waits for
  // the next search, and this one, stopped, ends at its first test. What it meets of an
  // earlier game's entries cannot match its keys, which every position build draws anew.
  while (deferred.clear_tables && w.stop_flag <= 0)
    if (!clear_hash_tables_step()) deferred.clear_tables = false;
  if (deferred.clear_tables) abandon_hash_clear();  // this search's stores come first
  w.prepares_tables = true;
  w.limit_test_mask = hash_tables.pages_pending ? 0 : LIMIT_TEST_INTERVAL - 1;
  w.interval_start_ms = ThreatContext::NO_TEST;
  w.start_charge_ms = 0;
}

void run_or_defer_show_forbidden() {
  const CommandHold hold;
  if (deferred.search_active)
    deferred.show_forbidden = true;
  else
    show_forbidden(main_worker);
}

}  // namespace zerin
