// The values that INFO lines set. They persist for the life of the process.
#pragma once

#include <cstdint>

#include "protocol/relaxed.h"

namespace zerin {

struct EngineSettings {
  Relaxed<int32_t> max_memory{0};              // stored only
  Relaxed<int32_t> timeout_match{1000000000};  // stored only
  Relaxed<int32_t> timeout_turn{30000};        // ms per move
  Relaxed<int32_t> time_left{1000000000};      // ms left in the match
  Relaxed<int32_t> game_type{1};               // stored only
  Relaxed<int32_t> max_depth{576};             // deepest iteration started
  Relaxed<int32_t> max_node{2000000000};       // node budget in units of 1024; -1 = unlimited
  Relaxed<int32_t> caution_factor{1};          // pruning caution 0..3
  Relaxed<int32_t> hash_size{524288};          // buckets per hash table, at least 1
  Relaxed<int32_t> show_detail{0};             // non-zero: detailed reports
  Relaxed<int32_t> rule{0};                    // 0 free-style, 1 standard, 2 Renju
  char folder[1024] = {};                      // stored only; nothing reads it
};

extern EngineSettings settings;

// Applies the text after "INFO" (key, blanks, value). Unknown keys change nothing.
void apply_info(const char* text);

}  // namespace zerin
