// The rules the engine plays by.
#pragma once

#include <cstdint>

namespace zerin {

constexpr int32_t RULE_FREESTYLE = 0;  // five or more in a row wins
constexpr int32_t RULE_STANDARD = 1;   // exactly five wins
constexpr int32_t RULE_RENJU = 2;      // exactly five for black, who has forbidden points

// The rule the engine plays by for an INFO rule value. 0, 1 and 2 are the engine's own
// codes. Managers that follow the Gomocup protocol send a bit mask instead (1 exactly
// five, 2 continuous game, 4 Renju), so every larger value with the Renju bit means
// Renju too. Any other value is kept as it is: it builds the tables of no known rule.
constexpr int32_t playing_rule(int32_t value) { return value > RULE_RENJU && (value & 4) != 0 ? RULE_RENJU : value; }

}  // namespace zerin
