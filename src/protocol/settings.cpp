#include "protocol/settings.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "control/search_thread.h"
#include "core/platform.h"
#include "protocol/command_loop.h"

namespace zerin {

namespace {

// Base-10 conversion as atoi does it (white space, sign, digits up to the first
// non-digit, 0 without digits), saturated to the int32 range.
int32_t convert_value(const char* text) {
  const long long v = std::strtoll(text, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

struct NumericKey {
  const char* key;
  Relaxed<int32_t>* field;
};

}  // namespace

void apply_info(const char* text) {
  // Table order; no key is a prefix of another, so at most one applies.
  const NumericKey keys[] = {
      {"max_memory", &settings.max_memory},   {"timeout_match", &settings.timeout_match},
      {"timeout_turn", &settings.timeout_turn}, {"time_left", &settings.time_left},
      {"game_type", &settings.game_type},     {"max_depth", &settings.max_depth},
      {"max_node", &settings.max_node},       {"caution_factor", &settings.caution_factor},
      {"hash_size", &settings.hash_size},     {"show_detail", &settings.show_detail},
      {"rule", &settings.rule},               {"thread_num", &settings.thread_num},
      {"swap2_pair", &settings.swap2_pair},   {"swap2_seed", &settings.swap2_seed},
      {"swap2_margin", &settings.swap2_margin}, {"swap2_target", &settings.swap2_target},
      {"swap2_book", &settings.swap2_book},
  };
  for (const NumericKey& k : keys) {
    const char* value = match_command(k.key, text);
    if (value == nullptr) continue;
    int32_t v = convert_value(value);
    if (k.field == &settings.hash_size && v <= 0) v = 1;
    if (k.field == &settings.thread_num) v = v < 1 ? 1 : v > MAX_THREADS ? MAX_THREADS : v;
    if (k.field == &settings.thread_num && !platform::THREADS_AVAILABLE) v = 1;  // no helpers to start
    if (k.field == &settings.swap2_margin && v < 0) v = 0;
    *k.field = v;
    // The helpers and the tables follow at once, not inside the next move's time.
    if (k.field == &settings.hash_size || k.field == &settings.max_memory || k.field == &settings.thread_num)
      memory_settings_changed();
  }
  if (const char* value = match_command("folder", text)) {
    std::strncpy(settings.folder, value, sizeof settings.folder - 1);
    settings.folder[sizeof settings.folder - 1] = '\0';
  }
}

}  // namespace zerin
