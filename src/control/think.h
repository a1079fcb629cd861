// The move decision driver and its reports.
#pragma once

#include "search/candidate_lists.h"

namespace zerin {

// The root line last taken from the search: entry 0's score is its length.
extern Candidate principal_variation[PV_CAPACITY];

int one_ply_scan(int side);
int play_on_win(int side);
int forced_block(int side);

}  // namespace zerin
