#include "search/candidate_lists.h"

#include <cstring>

namespace zerin {

Candidate candidate_lists[MAX_PLIES][LIST_CAPACITY];
uint64_t ply_visits[MAX_PLIES];
uint64_t visit_stamps[MAX_PLIES][MAX_CELLS];
Candidate pv_table[MAX_PLIES][PV_CAPACITY];

void clear_visit_stamps() {
  std::memset(ply_visits, 0, sizeof ply_visits);
  std::memset(visit_stamps, 0, sizeof visit_stamps);
}

}  // namespace zerin
