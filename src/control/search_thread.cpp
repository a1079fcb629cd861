#include "control/search_thread.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "board/hash_tables.h"
#include "control/balance.h"
#include "control/game.h"
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
  // The idle thread faults table pages in only once the first command has been carried
  // out: when that command (or one soon after it) sets max_memory or hash_size, the
  // block mapped at start-up is never brought in at all. Guarded by request_lock.
  bool idle_allowed = false;
  Relaxed<int32_t> idle_allowed_seen{0};  // the same, readable without the lock
};
Handover handover;

// Work that must not touch search state while a driver runs is deferred to the end of
// that run. search_active is true from request_search until the driver has returned.
struct DeferredWork {
  std::mutex lock;
  bool search_active = false;
  bool hash_clear = false;
  bool show_forbidden = false;
};
DeferredWork deferred;

void run_pending_work() {
  std::lock_guard<std::mutex> guard(deferred.lock);
  deferred.search_active = false;
  if (deferred.hash_clear) clear_hash_tables();
  if (deferred.show_forbidden) show_forbidden(main_worker);
  deferred.hash_clear = deferred.show_forbidden = false;
}

// Idle work: faulting in fresh hash-table pages, a stretch at a time, so that requests
// never wait for more than one stretch. The deferred-work lock keeps zrhashclear and
// zrshowforbid, which the command thread runs at once while no search runs, away from
// the tables meanwhile.
// A block that INFO has since asked to resize (hash_size, max_memory) is replaced before
// the next search, so its pages are left alone: faulting them in would only take memory
// a limit may have just forbidden.
bool idle_step() {
  std::lock_guard<std::mutex> guard(deferred.lock);
  if (wanted_hash_buckets() != hash_tables.requested_buckets) return false;
  return prefault_hash_tables_step();
}

// The tables of the size asked for so far are mapped at start-up where the system allows
// it, and faulted in while idle (once commands have begun), so that the first decision
// does not pay for it.
void map_tables_at_start() {
  if (!platform::MAP_TABLES_AT_START) return;
  std::lock_guard<std::mutex> guard(deferred.lock);
  take_requested_hash_size();
  resize_hash_tables();
}

// Runs one request's driver, then the work deferred while it ran.
void run_request(SearchRequest code, int32_t target) {
  switch (code) {
    case REQUEST_BALANCE_ONE: balance_one(main_worker, target); break;
    case REQUEST_BALANCE_TWO: balance_two(main_worker, target); break;
    case REQUEST_SWAP2: decide_swap2(main_worker); break;
    default: think(main_worker); break;
  }
  run_pending_work();
}

void search_thread_main() {
  std::unique_lock<std::mutex> lock(handover.request_lock);
  map_tables_at_start();
  handover.ready_flag = 1;
  bool idle_work = true;
  for (;;) {
    while (!handover.request_pending) {
      if (!idle_work || !handover.idle_allowed) {
        handover.request_signal.wait(lock);
        continue;
      }
      lock.unlock();
      idle_work = idle_step();
      lock.lock();
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
    idle_work = true;  // a resize during the run leaves a fresh block to fault in
    lock.lock();
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
    std::lock_guard<std::mutex> guard(deferred.lock);
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

void prepare_tables_for_game() {
  std::lock_guard<std::mutex> guard(deferred.lock);
  prepare_hash_tables();
}

void run_or_defer_hash_clear() {
  std::lock_guard<std::mutex> guard(deferred.lock);
  if (deferred.search_active)
    deferred.hash_clear = true;
  else
    clear_hash_tables();
}

void run_or_defer_show_forbidden() {
  std::lock_guard<std::mutex> guard(deferred.lock);
  if (deferred.search_active)
    deferred.show_forbidden = true;
  else
    show_forbidden(main_worker);
}

}  // namespace zerin
