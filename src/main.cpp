// Zerin: a Gomoku and Renju brain driven over standard input and output.
//
//   pbrain-zerin          the brain: protocol commands on standard input
//   pbrain-zerin bench    the decision on the built-in positions: node count and speed
#include <cstring>

#include "control/search_thread.h"
#include "core/platform.h"
#include "protocol/bench.h"
#include "protocol/command_loop.h"

int main(int argc, char** argv) {
  zerin::platform::init_console();
  // Managers start the brain without arguments; any argument but "bench" is ignored.
  if (argc >= 2 && std::strcmp(argv[1], "bench") == 0) return zerin::run_bench();
  zerin::start_search_thread();
  zerin::platform::run_command_loop([] {
    if (!zerin::read_line() || !zerin::dispatch_command()) return false;
    zerin::allow_idle_work();
    return true;
  });
  zerin::exit_engine();
}
