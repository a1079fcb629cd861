#include "search/candidate_lists.h"

#include <cstring>

namespace zerin {

Candidate candidate_lists[MAX_PLIES][LIST_CAPACITY];
uint64_t ply_visits[MAX_PLIES];
uint64_t visit_stamps[MAX_PLIES][MAX_CELLS];
Candidate pv_table[MAX_PLIES][PV_CAPACITY];

}  // namespace zerin

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
void merge_sort(Candidate* list, int count) {
  static thread_local Candidate buffer[LIST_CAPACITY];
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

}  // namespace

void sort_candidates(Candidate* list, int count) {
  if (count <= 32)
    insertion_sort(list, count);
  else
    merge_sort(list, count);
}

}  // namespace zerin
