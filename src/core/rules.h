// The rules the engine plays by.
#pragma once

#include <cstdint>

namespace zerin {

constexpr int32_t RULE_FREESTYLE = 0;  // five or more in a row wins
constexpr int32_t RULE_STANDARD = 1;   // exactly five wins
constexpr int32_t RULE_RENJU = 2;      // exactly five for black, who has forbidden points
// Caro: a run of exactly five with a blocked cell (an opponent's stone or the board's
// edge) right past each end does not win. Under RULE_CARO a longer run wins whatever
// lies past it; under RULE_CARO_EXACT it never does. No forbidden points.
constexpr int32_t RULE_CARO = 8;
constexpr int32_t RULE_CARO_EXACT = 9;

// One comparison: 8 and 9 differ in the bit 1 only.
constexpr bool is_caro(int32_t rule) { return (rule | 1) == RULE_CARO_EXACT; }
static_assert(is_caro(RULE_CARO) && is_caro(RULE_CARO_EXACT) && !is_caro(RULE_RENJU) && !is_caro(-7) && !is_caro(11));

// The rule the engine plays by for an INFO rule value. 0, 1 and 2 are the engine's own
// codes. Managers that follow the Gomocup protocol send a bit mask instead (1 exactly
// five, 2 continuous game, 4 Renju, 8 Caro), so every larger value with the Renju bit
// means Renju too, and every other larger value with the Caro bit means Caro, exact
// with the bit 1. Any other value is kept as it is: it builds the tables of no known rule.
constexpr int32_t playing_rule(int32_t value) {
  return value <= RULE_RENJU   ? value
         : (value & 4) != 0    ? RULE_RENJU
         : (value & 8) != 0    ? ((value & 1) != 0 ? RULE_CARO_EXACT : RULE_CARO)
                               : value;
}

}  // namespace zerin
