// Internal consistency checks of the engine: on in Debug builds and in the sanitizer and
// fuzzing builds (ZERIN_CHECKS), compiled out of Release builds, where they cost nothing:
// the condition is a callable that only a checking build calls.
#pragma once

namespace zerin {

#ifdef ZERIN_CHECKS
constexpr bool CHECKS_ON = true;
#else
constexpr bool CHECKS_ON = false;
#endif

// Writes what failed to standard error and aborts.
[[noreturn]] void check_failed(const char* what);

template <typename Condition>
inline void expect(Condition&& holds, const char* what) {
  if constexpr (CHECKS_ON) {
    if (!holds()) check_failed(what);
  }
}

}  // namespace zerin
