#include "protocol/command_loop.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "control/game.h"
#include "control/search_thread.h"
#include "control/swap2.h"
#include "core/output.h"
#include "core/platform.h"
#include "protocol/game_commands.h"
#include "protocol/settings.h"

namespace zerin {

char line_buffer[LINE_BUFFER_SIZE];
const char* const ENGINE_VERSION = "2015 Kernal 0.4.47";

void exit_engine() {
  std::fflush(stdout);
  // _Exit: a search may still be running; static destructors must not run under it.
  std::_Exit(0);
}

int (*read_input_char)() = platform::read_input_char;

bool read_line() {
  int stored = 0;
  for (;;) {
    const int c = read_input_char();
    if (c == EOF) return false;
    if (stored < LINE_BUFFER_SIZE) line_buffer[stored++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  // The newline sits in the last stored place, or the line was cut after 8191 chars.
  const int end = stored - 1;
  line_buffer[end] = '\0';
  if (end > 0 && line_buffer[end - 1] == '\r') line_buffer[end - 1] = '\0';
  return true;
}

const char* match_command(const char* keyword, const char* text) {
  const size_t n = std::strlen(keyword);
  for (size_t i = 0; i < n; ++i) {
    if (text[i] == '\0') return nullptr;
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(keyword[i])))
      return nullptr;
  }
  const char* rest = text + n;
  while (std::isspace(static_cast<unsigned char>(*rest))) ++rest;
  return rest;
}

namespace {

// The "who" field of a BOARD line.
constexpr int OWN_STONE = 1;
constexpr int OPPONENT_STONE = 2;
constexpr int BLOCKED_STONE = 3;

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Every game command first stops a running search and waits for it; before any size was
// set, it then sets up the 20 by 20 default game, with its greeting.
void stop_search_and_prepare() {
  stop_search();
  if (game.width == 0) start_game(20, 20);
}

// One %d conversion: white space, optional sign, at least one digit; saturating.
bool scan_one_number(const char*& p, int* out) {
  while (is_space(*p)) ++p;
  const char* q = p;
  bool negative = false;
  if (*q == '+' || *q == '-') negative = *q++ == '-';
  if (!std::isdigit(static_cast<unsigned char>(*q))) return false;
  long long v = 0;
  while (std::isdigit(static_cast<unsigned char>(*q))) {
    if (v <= INT_MAX) v = v * 10 + (*q - '0');
    ++q;
  }
  if (negative) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  *out = static_cast<int>(v);
  p = q;
  return true;
}

bool line_is_done(const char* text) { return strcasecmp(text, "done") == 0; }

// Reads "x,y,who" lines until one is not; writes the error unless it was "done".
// False when the input ended inside the block.
bool read_position_block() {
  for (;;) {
    if (!read_line()) return false;
    int v[3];
    if (scan_numbers(line_buffer, "%d,%d,%d", v) == 3 && in_board(v[0], v[1])) {
      if (v[2] == OWN_STONE) {
        record_own_move(v[0], v[1]);
        continue;
      }
      if (v[2] == OPPONENT_STONE) {
        record_opponent_move(v[0], v[1]);
        continue;
      }
      if (v[2] == BLOCKED_STONE) {
        place_blocked_stone(v[0], v[1]);
        continue;
      }
    }
    if (!line_is_done(line_buffer)) log_line("ERROR x,y,who or DONE expected after BOARD");
    return true;
  }
}

bool read_block_cells() {
  for (;;) {
    if (!read_line()) return false;
    if (line_is_done(line_buffer)) return true;
    int v[2];
    if (scan_numbers(line_buffer, "%d,%d", v) == 2 && v[0] >= 0 && v[0] < MAX_SIDE && v[1] >= 0 &&
        v[1] < MAX_SIDE)
      block_cell(v[0], v[1]);
  }
}

// SWAP2BOARD's block as read: the stones in play order, and the first fault met.
struct Swap2Block {
  Swap2Stones stones;
  int lines = 0;         // stone lines read (counting stops at STONE_LINES_COUNTED)
  char fault[96] = "";   // the ERROR line for the first off-board or repeated cell
};

// More stone lines than any count SWAP2BOARD takes; counting stops here.
constexpr int STONE_LINES_COUNTED = 1000;

// Reads "x,y" lines (a third field, the colour some managers send, is ignored) up to
// "done". Cells off the board or repeated do not end the block: they are noted and
// the block read to its end, so that the stones after them are not taken for
// commands. Any other line ends the block, as in BOARD: false with *bad_line set,
// or false at the end of input.
bool read_swap2_block(Swap2Block& block, bool* bad_line) {
  *bad_line = false;
  for (;;) {
    if (!read_line()) return false;
    if (line_is_done(line_buffer)) return true;
    int v[2];
    if (scan_numbers(line_buffer, "%d,%d", v) != 2) {
      *bad_line = true;
      return false;
    }
    const int index = block.lines;
    if (block.lines < STONE_LINES_COUNTED) ++block.lines;
    if (block.fault[0] != '\0' || game.width == 0) continue;
    if (!in_board(v[0], v[1])) {
      std::snprintf(block.fault, sizeof block.fault, "ERROR SWAP2BOARD cell [%d,%d] is off the board", v[0], v[1]);
      continue;
    }
    for (int i = 0; i < index && i < SWAP2_FIVE; ++i)
      if (block.stones.cells[i].x == v[0] && block.stones.cells[i].y == v[1])
        std::snprintf(block.fault, sizeof block.fault, "ERROR SWAP2BOARD cell [%d,%d] is repeated", v[0], v[1]);
    if (index < SWAP2_FIVE) block.stones.cells[index] = {v[0], v[1]};
  }
}

// SWAP2BOARD: stops a running search (which still answers), reads the block and hands
// the stones to the Swap2 driver, which answers on the search thread. A block that is
// refused gets one ERROR line, and the game stays as it was. False when the input
// ended inside the block.
bool command_swap2board() {
  stop_search();
  Swap2Block block;
  bool bad_line = false;
  if (!read_swap2_block(block, &bad_line)) {
    if (!bad_line) return false;  // the input ended inside the block
    log_line("ERROR x,y or DONE expected after SWAP2BOARD");
    return true;
  }
  const int count = block.lines;
  if (game.width == 0) {
    log_line("ERROR SWAP2BOARD before START: no board size");
  } else if (block.fault[0] != '\0') {
    log_line("%s", block.fault);
  } else if (count != SWAP2_PROPOSE && count != SWAP2_THREE && count != SWAP2_FIVE) {
    log_line("ERROR SWAP2BOARD takes 0, 3 or 5 stones, not %d%s", count, count >= STONE_LINES_COUNTED ? " or more" : "");
  } else {
    block.stones.count = count;
    if (count == SWAP2_PROPOSE && swap2_room(block.stones) < SWAP2_THREE) {
      log_line("ERROR SWAP2BOARD has no room for three stones");
      return true;
    }
    swap2_stones = block.stones;
    request_search(REQUEST_SWAP2);
  }
  return true;
}

// Reads "x,y" for TURN, PLAY and TAKEBACK; true when the pair lies on the board.
bool read_coordinates(const char* arg, int* x, int* y) {
  int v[2];
  if (scan_numbers(arg, "%d,%d", v) != 2 || !in_board(v[0], v[1])) return false;
  *x = v[0];
  *y = v[1];
  return true;
}

// START and RECTSTART stop the search before they look at the size, so that a running
// search never sees it change. A refused size leaves the size and the record as they were.
void command_start(const char* arg) {
  int v[2];
  const int n = scan_numbers(arg, "%d %d", v);
  if (n == 0) {
    stop_search_and_prepare();  // no size yet: the 20 by 20 default first, then START itself
    start_game(game.width, game.height);
    return;
  }
  stop_search();
  start_game(v[0], n >= 2 ? v[1] : v[0]);
}

void command_rectstart(const char* arg) {
  int v[2];
  if (scan_numbers(arg, "%d ,%d", v) != 2) {
    log_line("ERROR bad RECTSTART parameters");
    return;
  }
  stop_search();
  start_game(v[0], v[1]);
}

void command_balance(const char* arg, SearchRequest code) {
  int v[1];
  const int32_t target = scan_numbers(arg, "%d", v) == 1 ? v[0] : 0;
  stop_search_and_prepare();
  request_search(code, target);
}

}  // namespace

int scan_numbers(const char* text, const char* format, int* values) {
  int count = 0;
  const char* p = text;
  for (const char* f = format; *f != '\0'; ++f) {
    if (f[0] == '%' && f[1] == 'd') {
      if (!scan_one_number(p, &values[count])) return count;
      ++count;
      ++f;
    } else if (is_space(*f)) {
      while (is_space(*p)) ++p;
    } else {
      if (*p != *f) return count;
      ++p;
    }
  }
  return count;
}

bool dispatch_command() {
  const char* line = line_buffer;
  const char* arg;
  int x, y;
  if ((arg = match_command("INFO", line))) {
    apply_info(arg);
  } else if ((arg = match_command("START", line))) {
    command_start(arg);
  } else if ((arg = match_command("RECTSTART", line))) {
    command_rectstart(arg);
  } else if (match_command("RESTART", line)) {
    stop_search_and_prepare();
    restart_game();
  } else if ((arg = match_command("TURN", line))) {
    stop_search_and_prepare();
    if (read_coordinates(arg, &x, &y)) {
      record_opponent_move(x, y);
      request_search();
    } else {
      log_line("ERROR bad coordinates");
    }
  } else if ((arg = match_command("PLAY", line))) {
    stop_search_and_prepare();
    if (read_coordinates(arg, &x, &y)) {
      record_own_move(x, y);
      log_line("%d,%d", x, y);
    } else {
      log_line("ERROR bad coordinates");
    }
  } else if (match_command("BEGIN", line)) {
    stop_search_and_prepare();
    request_search();
  } else if (match_command("ABOUT", line)) {
    log_line("name=\"Zerin\", author=\"Quendel\", version=\"%s\", country=\"China\", www=\"%s\"",
             ENGINE_VERSION, "https://zerin-gomoku.org");
  } else if (match_command("END", line)) {
    stop_search();
    return false;
  } else if (match_command("BOARD", line)) {
    stop_search_and_prepare();
    if (!read_position_block()) return false;
    request_search();
  } else if (match_command("SWAP2BOARD", line)) {
    if (!command_swap2board()) return false;
  } else if (match_command("zrboard", line)) {
    stop_search_and_prepare();
    if (!read_position_block()) return false;
  } else if (match_command("zrstop", line)) {
    stop_search();
  } else if (match_command("zrblockreset", line)) {
    clear_block_grid();
  } else if (match_command("zrblock", line)) {
    if (!read_block_cells()) return false;
  } else if ((arg = match_command("TAKEBACK", line))) {
    stop_search_and_prepare();
    if (read_coordinates(arg, &x, &y) && take_back(x, y))
      log_line("OK");
    else
      log_line("ERROR bad coordinates");
  } else if (match_command("zrshowforbid", line)) {
    run_or_defer_show_forbidden();
  } else if (match_command("zrhashclear", line)) {
    request_hash_clear();
  } else if ((arg = match_command("zrbalancetwo", line))) {
    command_balance(arg, REQUEST_BALANCE_TWO);
  } else if ((arg = match_command("zrbalanceone", line))) {
    command_balance(arg, REQUEST_BALANCE_ONE);
  } else {
    log_line("UNKNOWN command");
  }
  return true;
}

}  // namespace zerin
