// Zerin: a Gomoku and Renju brain driven over standard input and output.
#include "control/search_thread.h"
#include "protocol/command_loop.h"

int main() {
  zerin::start_search_thread();
  while (zerin::read_line() && zerin::dispatch_command()) {
  }
  zerin::exit_engine();
}
