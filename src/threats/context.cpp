#include "threats/context.h"

#include <algorithm>

#include "board/hash_tables.h"
#include "core/clock.h"

namespace zerin {

namespace {

void insertion_sort(Candidate* list, int count) {
  for (int i = 1; i < count; ++i) {
    const Candidate c = list[i];
    int j = i;
    while (j > 0 && list[j - 1].score > c.score) {
      list[j] = list[j - 1];
      --j;
    }
    list[j] = c;
  }
}

// Bottom-up merge sort through one buffer; sorted runs of 16 to start with.
void merge_sort(Candidate* list, int count, Candidate* buffer) {
  constexpr int RUN = 16;
  for (int start = 0; start < count; start += RUN)
    insertion_sort(list + start, count - start < RUN ? count - start : RUN);
  Candidate* from = list;
  Candidate* to = buffer;
  for (int width = RUN; width < count; width *= 2) {
    for (int lo = 0; lo < count; lo += 2 * width) {
      const int mid = lo + width < count ? lo + width : count;
      const int hi = lo + 2 * width < count ? lo + 2 * width : count;
      int i = lo, j = mid, k = lo;
      while (i < mid && j < hi) to[k++] = from[j].score < from[i].score ? from[j++] : from[i++];
      while (i < mid) to[k++] = from[i++];
      while (j < hi) to[k++] = from[j++];
    }
    Candidate* t = from;
    from = to;
    to = t;
  }
  if (from != list)
    for (int i = 0; i < count; ++i) list[i] = from[i];
}

// While table pages are still to be faulted in: the next stretch of them, by the one
// worker that does it; once every page is in, the tests go back to their interval.
void prepare_tables_between_tests(ThreatContext& c) {
  if (c.prepares_tables) prefault_hash_tables_step();
  if (!hash_tables.pages_pending) c.limit_test_mask = LIMIT_TEST_INTERVAL - 1;
}

// The guard of the extra tests (max_node -1: the stop only).
bool reply_guard_test(ThreatContext& c) {
  bool limit = c.stop_flag > 0;
  if (!limit && c.settings.max_node != -1) {
    const int32_t now = clock_ms();
    if (c.interval_start_ms == ThreatContext::NO_TEST) c.interval_start_ms = now;
    const int64_t used = static_cast<int64_t>(now) - c.decision_start - c.start_charge_ms;
    limit = now - c.interval_start_ms >= REPLY_MARGIN_MS &&
            used >= std::max<int64_t>(static_cast<int64_t>(c.turn_limit) - REPLY_MARGIN_MS, REPLY_MARGIN_MS);
  }
  if (limit) c.abort_flag = 1;
  return !limit;
}

}  // namespace

bool search_limit_check(ThreatContext& c) {
  if (c.limit_test_mask != LIMIT_TEST_INTERVAL - 1) {
    prepare_tables_between_tests(c);
    if ((static_cast<uint32_t>(c.node_count) & (LIMIT_TEST_INTERVAL - 1)) != 0) return reply_guard_test(c);
  }
  // The budget first, so that a spent budget costs no clock read.
  const int32_t max_node = c.settings.max_node;
  if (c.pooled_nodes != nullptr) {
    c.pooled_nodes->fetch_add(c.node_count - c.pooled_so_far, std::memory_order_relaxed);
    c.pooled_so_far = c.node_count;
    // Another thread has the decision's result: whatever the limits, this search is done.
    if (c.decision_complete != nullptr && *c.decision_complete > 0) {
      c.abort_flag = 1;
      return false;
    }
  }
  bool limit = c.decision_nodes() / 1024 > static_cast<int64_t>(max_node);
  if (!limit) {
    const int32_t now = clock_ms();
    c.interval_start_ms = now;
    limit = static_cast<int64_t>(now) + REPLY_MARGIN_MS - c.decision_start >= c.turn_limit;
  }
  if (!limit) limit = c.stop_flag > 0;
  // max_node -1: no budget and no time limit, only a stop ends the search.
  if (limit && !(max_node == -1 && c.stop_flag <= 0)) {
    c.abort_flag = 1;
    return false;
  }
  return true;
}

void sort_candidates(ThreatContext& c, Candidate* list, int count) {
  if (count <= 32)
    insertion_sort(list, count);
  else
    merge_sort(list, count, c.sort_buffer);
}

}  // namespace zerin
