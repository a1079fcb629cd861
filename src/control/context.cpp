#include "control/context.h"

namespace zerin {

int32_t decision_start = 0;
int32_t turn_limit = 0;
bool ample_time = false;
int64_t node_count = 0;
int64_t expanded_count = 0;
double tried_sum = 0.0;
int32_t min_remaining_depth = 0;
int32_t iteration_depth = 0;
MovePoint best_move = {0, 0};
int32_t sole_candidate = 0;
int32_t abort_flag = 0;
int32_t last_value = 0;

}  // namespace zerin
