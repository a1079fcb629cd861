// The values that INFO lines set. They persist for the life of the process.
#pragma once

#include <cstdint>

#include "protocol/relaxed.h"

namespace zerin {

struct EngineSettings {
  Relaxed<int32_t> max_memory{0};              // bytes the whole process may take; 0 or less: no limit
  Relaxed<int32_t> timeout_match{1000000000};  // stored only
  Relaxed<int32_t> timeout_turn{30000};        // ms per move
  Relaxed<int32_t> time_left{1000000000};      // ms left in the match
  Relaxed<int32_t> game_type{1};               // stored only
  Relaxed<int32_t> max_depth{576};             // deepest iteration started
  Relaxed<int32_t> max_node{2000000000};       // node budget in units of 1024; -1 = unlimited
  Relaxed<int32_t> caution_factor{1};          // pruning caution 0..3
  Relaxed<int32_t> hash_size{524288};          // buckets per hash table, at least 1
  Relaxed<int32_t> show_detail{0};             // non-zero: detailed reports
  Relaxed<int32_t> rule{0};                    // 0 free-style, 1 standard, 2 Renju (see playing_rule)
  char folder[1024] = {};                      // stored only; nothing reads it
};

extern EngineSettings settings;

constexpr int32_t RULE_FREESTYLE = 0;
constexpr int32_t RULE_STANDARD = 1;
constexpr int32_t RULE_RENJU = 2;

// The rule the engine plays by for an INFO rule value. 0, 1 and 2 are the engine's own
// codes. Managers that follow the Gomocup protocol send a bit mask instead (1 exactly
// five, 2 continuous game, 4 Renju), so every larger value with the Renju bit means
// Renju too. Any other value is kept as it is: it builds the tables of no known rule.
constexpr int32_t playing_rule(int32_t value) { return value > RULE_RENJU && (value & 4) != 0 ? RULE_RENJU : value; }

// Applies the text after "INFO" (key, blanks, value). Unknown keys change nothing.
void apply_info(const char* text);

}  // namespace zerin
