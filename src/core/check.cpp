#include "core/check.h"

#include <cstdio>
#include <cstdlib>

namespace zerin {

void check_failed(const char* what) {
  std::fprintf(stderr, "zerin: internal check failed: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

}  // namespace zerin
