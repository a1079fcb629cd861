// Coverage-guided fuzzing of the command loop (libFuzzer, with AddressSanitizer and
// UndefinedBehaviorSanitizer). Each input is the standard input of one session of a
// fresh engine, fed through the loop's input source: read_line / dispatch_command until
// END or the end of the input, then the session state is put back to a fresh process's.
//
// What the harness changes so that one process can run many sessions quickly:
// - Searches get a node budget of at most 2 units of 1024 nodes: max_node 0 to start
//   with, and an INFO max_node outside 0..2 (-1, no limit, included) is set to 2 after
//   its line. Without a budget a balance search tries every cell at full width, seconds
//   per request under the sanitizers; the unlimited case of the limit rules is covered
//   by the limit tests.
// - hash_size is lowered to at most 4096 buckets (1.5 MiB) after its line, so that
//   allocations stay far below libFuzzer's memory limit.
// - Every search is waited for before the next line is read (wait_for_search), so a
//   session runs the same way every time it is replayed.
// - zrbalancetwo on a board of more than 100 cells is sent as zrbalanceone: the pair
//   scan tries every ordered pair of free cells, some 330000 on an empty 24 by 24 board,
//   which takes seconds under the sanitizers.
//
// What it checks, besides the sanitizers: after every line, a position that is built
// has the game's size and agrees with its cells (line words, hash key, move list, blocked
// padding; the shape bookkeeping sums and threat sets); every reply line has one of the engine's forms; a
// move reply, and every cell of a Swap2 answer, lies on the board; SWAP2BOARD leaves the
// game record as it was or empty; the output never ends inside a line. A failed check
// prints the fault and aborts, which libFuzzer reports as a crash.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/board.h"
#include "bookkeeping_model.h"
#include "control/game.h"
#include "control/search_thread.h"
#include "control/swap2.h"
#include "control/think.h"
#include "protocol/command_loop.h"
#include "protocol/settings.h"

using namespace zerin;

namespace {

constexpr int32_t NODE_BUDGET = 0;        // units of 1024 nodes at the start of a session
constexpr int32_t NODE_BUDGET_CAP = 2;
constexpr int32_t HASH_BUCKETS = 1024;
constexpr int32_t HASH_BUCKETS_CAP = 4096;
constexpr int BALANCE_TWO_CELLS = 100;

// ZERIN_FUZZ_TRACE set in the environment: every line and how long it took, on stderr
// (for finding what makes an input slow).
bool trace_lines = false;

const uint8_t* input_data = nullptr;
size_t input_size = 0;
size_t input_pos = 0;

int next_input_char() { return input_pos < input_size ? input_data[input_pos++] : EOF; }

[[noreturn]] void fail(const std::string& what, const char* line) {
  std::fprintf(stderr, "\n*** %s\n*** after the line: %.200s\n", what.c_str(), line);
  std::abort();
}

// A fresh process's settings, game record and blocked cells, with the harness's budget.
void reset_session() {
  settings.max_memory = 0;
  settings.timeout_match = 1000000000;
  settings.timeout_turn = 30000;
  settings.time_left = 1000000000;
  settings.game_type = 1;
  settings.max_depth = 576;
  settings.max_node = NODE_BUDGET;
  settings.caution_factor = 1;
  settings.hash_size = HASH_BUCKETS;
  settings.show_detail = 0;
  settings.rule = 0;
  settings.swap2_pair = 1;
  settings.swap2_seed = 0;
  settings.swap2_margin = SWAP2_DEFAULT_MARGIN;
  settings.folder[0] = '\0';
  game = GameRecord{};
  swap2_memory = Swap2Memory{};
  clear_block_grid();
  stop_flag = 0;
  decision_memory.last_value = 0;
  main_worker.iteration_depth = 0;
}

void bound_settings() {
  if (settings.hash_size > HASH_BUCKETS_CAP) settings.hash_size = HASH_BUCKETS_CAP;
  if (settings.max_node < 0 || settings.max_node > NODE_BUDGET_CAP) settings.max_node = NODE_BUDGET_CAP;
}

void bound_line() {
  if (match_command("zrbalancetwo", line_buffer) == nullptr) return;
  const int cells = game.width == 0 ? 20 * 20 : game.width * game.height;
  if (cells > BALANCE_TWO_CELLS) std::memcpy(line_buffer + 9, "one", 3);  // zrbalance|two
}

// ---- Output: standard output goes to a memory file that is read back after each line.

int output_fd = -1;
off_t output_read = 0;

bool starts_with(const std::string& s, const char* head) { return s.compare(0, std::strlen(head), head) == 0; }

// "x,y" with both numbers unsigned decimal; fills x and y.
bool parse_move(const std::string& line, int* x, int* y) {
  int v[2] = {0, 0}, k = 0;
  size_t i = 0;
  for (; k < 2; ++k) {
    const size_t start = i;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9' && i - start < 6) v[k] = v[k] * 10 + (line[i++] - '0');
    if (i == start) return false;
    if (k == 0) {
      if (i >= line.size() || line[i] != ',') return false;
      ++i;
    }
  }
  if (i != line.size()) return false;
  *x = v[0];
  *y = v[1];
  return true;
}

void check_reply(const std::string& line, const char* command) {
  if (line == "OK" || line == "UNKNOWN command" || line == "SWAP") return;
  for (const char* head : {"MESSAGE ", "ERROR ", "FORBID ", "name=\"Zerin\", "})
    if (starts_with(line, head)) return;
  // A move, or a Swap2 answer of two or three cells separated by single blanks.
  size_t start = 0;
  for (int cells = 1;; ++cells) {
    const size_t blank = line.find(' ', start);
    const std::string word = line.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
    int x, y;
    if (cells > 3 || !parse_move(word, &x, &y)) fail("malformed reply line: " + line, command);
    if (!in_board(x, y)) fail("move reply off the board: " + line, command);
    if (blank == std::string::npos) return;
    start = blank + 1;
  }
}

void check_output(const char* command) {
  std::fflush(stdout);
  struct stat st;
  if (fstat(output_fd, &st) != 0) fail("cannot stat the output file", command);
  if (st.st_size == output_read) return;
  std::string text(static_cast<size_t>(st.st_size - output_read), '\0');
  if (pread(output_fd, text.data(), text.size(), output_read) != static_cast<ssize_t>(text.size()))
    fail("cannot read the output file", command);
  output_read = st.st_size;
  if (text.back() != '\n') fail("output ends inside a line", command);
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    check_reply(text.substr(start, end - start), command);
}

void forget_output() {
  std::fflush(stdout);
  if (ftruncate(output_fd, 0) != 0) std::abort();
  output_read = 0;
}

void check_position(const char* command) {
  if (!position_built()) return;
  if (game.count < 0 || game.count > MAX_CELLS) fail("game record count " + std::to_string(game.count), command);
  if (position.width != game.width || position.height != game.height)
    fail("position built for " + std::to_string(position.width) + " by " + std::to_string(position.height) +
             ", the game is " + std::to_string(game.width) + " by " + std::to_string(game.height),
         command);
  std::string fault = zerin_test::position_fault(position);
  if (fault.empty()) fault = zerin_test::sums_and_sets_fault(position, true);
  if (!fault.empty()) fail("position inconsistent: " + fault, command);
}

// libFuzzer ends a normal run with exit(), which runs the static destructors, among them
// the search thread's condition variable's, while the search thread still waits on it:
// that would hang. The engine itself never runs them (exit_engine), and neither does
// this: the handler, registered after those destructors, ends the process first.
// libFuzzer reports findings through _Exit, so their exit status is not affected.
void leave_without_destructors() {
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  output_fd = memfd_create("engine-output", 0);
  if (output_fd < 0 || dup2(output_fd, STDOUT_FILENO) < 0) {
    std::perror("engine output");
    std::abort();
  }
  // Appending: the writes follow the end of the file however often it is emptied.
  fcntl(STDOUT_FILENO, F_SETFL, fcntl(STDOUT_FILENO, F_GETFL) | O_APPEND);
  read_input_char = next_input_char;
  trace_lines = std::getenv("ZERIN_FUZZ_TRACE") != nullptr;
  start_search_thread();
  std::atexit(leave_without_destructors);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  reset_session();
  input_data = data;
  input_size = size;
  input_pos = 0;
  char command[64];
  while (read_line()) {
    bound_line();
    std::snprintf(command, sizeof command, "%s", line_buffer);
    const auto began = std::chrono::steady_clock::now();
    const int recorded = game.count;
    const bool swap2 = match_command("SWAP2BOARD", line_buffer) != nullptr;
    const bool go_on = dispatch_command();
    wait_for_search();
    // SWAP2BOARD leaves the record as it was (refused) or empty (answered).
    if (swap2 && game.count != recorded && game.count != 0)
      fail("SWAP2BOARD left " + std::to_string(game.count) + " moves recorded", command);
    if (trace_lines)
      std::fprintf(stderr, "%8.1f ms  %s\n",
                   std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count(), command);
    bound_settings();
    check_output(command);
    check_position(command);
    if (!go_on) break;
  }
  stop_search();
  forget_output();
  return 0;
}
