#include "protocol/game_commands.h"

#include "control/game.h"
#include "core/output.h"
#include "protocol/command_loop.h"

namespace zerin {

namespace {

void greet() {
  log_line("MESSAGE Zerin %s :-)", ENGINE_VERSION);
  log_line("OK");
}

}  // namespace

void start_game(int width, int height) {
  if (!valid_size(width, height)) {
    log_line("ERROR size of the board");
    return;
  }
  new_game(width, height);
  greet();
}

void restart_game() {
  restart_record();
  greet();
}

}  // namespace zerin
