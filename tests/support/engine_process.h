// Runs the built engine as a child process and talks to it over pipes, the way a
// tournament manager does. Used by the protocol tests.
//
// A reader thread drains the engine's standard output all the time, so a test never
// deadlocks on a full pipe however much it writes before reading. Every read takes a
// timeout and reports failure when it runs out instead of hanging the suite.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zerin_test {

using Millis = std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// Per thread of a process, the time it has spent runnable but waiting for a processor
// (from /proc/PID/task/*/schedstat), in nanoseconds.
using ThreadWaits = std::map<pid_t, int64_t>;

// How long a test waits for a reply that must come. Generous, because sanitizer builds
// run the engine several times slower; a passing test never waits this long.
constexpr Millis REPLY_TIMEOUT{10000};

// The command that starts the engine under test: the environment variable
// ZERIN_ENGINE_COMMAND split on blanks when it is set and not blank, for instance
//   ZERIN_ENGINE_COMMAND="/usr/lib/wine/wine64 /abs/build-windows/pbrain-zerin.exe"
// to run the protocol tests against the Windows build under Wine, or
//   ZERIN_ENGINE_COMMAND="node --no-experimental-fetch /abs/build-web-engine/threaded/pbrain-zerin.js"
// against the WebAssembly build under node; otherwise the binary this build produced.
std::vector<std::string> engine_command();
// True when the engine under test is started by ZERIN_ENGINE_COMMAND rather than being
// this build's binary.
bool engine_command_from_environment();
// The command as one line, for messages.
std::string describe_command(const std::vector<std::string>& command);

class EngineProcess {
 public:
  // Starts the engine with command (program and arguments; the program is looked up on
  // PATH when it has no slash). The child's standard error is the test's own, so
  // sanitizer reports from the engine show up in the test output. Under ThreadSanitizer
  // the child is told to halt on its first report, so a race in the engine ends it with
  // a non-zero status.
  //
  // While ZERIN_ENGINE_COMMAND is set, the engine under test may be a Windows build whose
  // lines end in CR LF: one carriage return before each newline is dropped. This build's
  // own binary never writes one, so without the variable lines are kept as written.
  explicit EngineProcess(std::vector<std::string> command = engine_command());
  // Starts the program at path, without arguments.
  explicit EngineProcess(const std::string& path) : EngineProcess(std::vector<std::string>{path}) {}
  // Kills the engine if it still runs.
  ~EngineProcess();

  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  // True when the child was started.
  bool started() const { return pid_ > 0 || exit_status_.has_value(); }
  // The child's process id (for reading its /proc entries), or -1.
  pid_t pid() const { return pid_; }

  // Writes line and a newline. False when the engine's input is closed or gone.
  bool send(std::string_view line);
  // Writes exactly these bytes (for CR LF, missing newlines and the like).
  bool send_raw(std::string_view bytes);

  // The next output line without its newline, or nothing when none arrives in time or
  // the engine's output has ended.
  std::optional<std::string> read_line(Millis timeout = REPLY_TIMEOUT);
  // When the line last returned by read_line (or read_until) came out of the pipe: a
  // test that is slow to look does not make the engine look slow.
  Clock::time_point last_line_arrival() const { return last_arrival_; }

  struct Collected {
    std::vector<std::string> lines;  // every line read, the matching one last
    bool matched = false;            // false: timeout or end of output came first
  };
  // Reads lines until one satisfies done (that line included), within timeout overall.
  Collected read_until(const std::function<bool(const std::string&)>& done,
                       Millis timeout = REPLY_TIMEOUT);
  // Reads lines until none arrives for quiet, or limit has passed in all.
  std::vector<std::string> read_until_quiet(Millis quiet, Millis limit = REPLY_TIMEOUT);

  // Closes the engine's standard input (end of input for the engine).
  void close_input();

  // Stops every thread of the engine (SIGSTOP) and lets it run again (SIGCONT), as the
  // Gomocup judge suspends a brain between its moves. False when the signal could not
  // be sent.
  bool suspend();
  bool resume();
  // Each thread's wait for a processor so far; empty where /proc does not tell.
  ThreadWaits processor_waits() const;
  // The longer wait for a processor since before was taken of the threads a reply passes
  // through: the command thread (the process's first) and, unless only the command
  // thread answers, the search thread (the next, started before any other), both as
  // before holds them. A busy machine's share of a reply's delay, which a timing test does
  // not blame on the engine; the helper threads' waits are left out, as a reply must not
  // wait for them.
  Millis reply_path_wait_since(const ThreadWaits& before, bool command_thread_only = false) const;

  // Waits for the engine to end. Its exit status, 128 + the signal number when a signal
  // ended it, or nothing when it still runs after timeout.
  std::optional<int> wait_exit(Millis timeout = REPLY_TIMEOUT);
  bool running();

 private:
  void reader_main();
  void reap(bool block);

  bool strip_carriage_returns_ = false;
  pid_t pid_ = -1;
  int input_fd_ = -1;   // the engine's standard input, our write end
  int output_fd_ = -1;  // the engine's standard output, our read end
  std::optional<int> exit_status_;

  std::thread reader_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::pair<std::string, Clock::time_point>> lines_;  // guarded by mutex_
  Clock::time_point last_arrival_{};
  bool output_ended_ = false;      // guarded by mutex_
};

}  // namespace zerin_test
