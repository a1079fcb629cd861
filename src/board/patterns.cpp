#include "board/patterns.h"

namespace zerin {

const int16_t shape_value[16] = {0, 1, 2, 6, 7, 10, 23, 158, 175, 256, 256, 511, 2047, 0, 0, 0};
const int16_t combo_weight[16] = {3, 5, 4, 16, 16, 16, 16, 36, 36, 36, 40, 128, 256, 0, 0, 0};
const int16_t combo_penalty[16] = {0, 2, 4, 4, 5, 8, 21, 108, 125, 196, 196, 411, 1947, 0, 0, 0};

PatternEntry pattern_table[WINDOW_COUNT];
int16_t combo_table[2][16][16][16][16];

void build_pattern_tables() {}

}  // namespace zerin
