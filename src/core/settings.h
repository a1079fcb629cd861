// The values that INFO lines set. They persist for the life of the process. The command
// loop writes them, also while a search runs; the drivers read the time settings when a
// search starts, and the searches read max_node, caution_factor and show_detail as they
// go (through their worker).
#pragma once

#include <cstdint>

#include "core/relaxed.h"
#include "core/rules.h"

namespace zerin {

// Threads a decision may use; more would only share the same cores.
constexpr int32_t MAX_THREADS = 64;

// White's value (for white to move after Swap2's three stones) from which on the engine
// takes the choice at three stones as clear: SWAP at -margin or below, white's move at
// +margin or above, two more stones in between. Calibrated in self-play at 100 ms per
// move (README, Swap2): white scored 27% from values in -60..-31 and 66% from 30..59,
// both clear of one half by two standard errors, but 43% from -30..-1 and 51% from 0..29.
constexpr int32_t SWAP2_DEFAULT_MARGIN = 30;
// White's value (of the pair search's short search) that the proposals and the two-stone
// answers aim at: short searches see white better off than longer ones do.
constexpr int32_t SWAP2_DEFAULT_TARGET = 80;

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
  Relaxed<int32_t> rule{0};                    // see playing_rule
  Relaxed<int32_t> thread_num{1};              // search threads of a decision, 1..MAX_THREADS
  Relaxed<int32_t> swap2_pair{1};              // Swap2 at three stones may add two stones; 0: never
  Relaxed<int32_t> swap2_seed{0};              // varies the proposed Swap2 openings; 0: a fixed default
  Relaxed<int32_t> swap2_margin{SWAP2_DEFAULT_MARGIN};  // Swap2 at three stones: the even band's half width
  Relaxed<int32_t> swap2_target{SWAP2_DEFAULT_TARGET};  // white's value Swap2's pair search aims at
  Relaxed<int32_t> swap2_book{1};              // Swap2 uses its book of even openings; 0: never
  char folder[1024] = {};                      // stored only; nothing reads it
};

extern EngineSettings settings;

}  // namespace zerin
