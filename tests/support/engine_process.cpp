#include "support/engine_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

extern char** environ;

namespace zerin_test {

namespace {

// Writing to an engine that has already exited must fail with EPIPE, not kill the test.
void ignore_sigpipe_once() {
  static const bool done = [] {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGPIPE, &action, nullptr);
    return true;
  }();
  (void)done;
}

// The environment for the child: ours, with ThreadSanitizer told to end the engine at
// its first report. The engine leaves through _Exit, which skips the sanitizer's own
// exit-code handling, so without this a race would only be printed.
std::vector<std::string> child_environment() {
  std::vector<std::string> env;
  std::string tsan = "TSAN_OPTIONS=halt_on_error=1";
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry(*e);
    if (entry.rfind("TSAN_OPTIONS=", 0) == 0) {
      if (entry.find("halt_on_error") == std::string_view::npos)
        tsan = std::string(entry) + ":halt_on_error=1";
      else
        tsan = std::string(entry);
      continue;
    }
    env.emplace_back(entry);
  }
  env.push_back(tsan);
  return env;
}

void close_fd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

const char* command_from_environment() {
  const char* command = std::getenv("ZERIN_ENGINE_COMMAND");
  if (command == nullptr || std::string_view(command).find_first_not_of(" \t") == std::string_view::npos)
    return nullptr;
  return command;
}

}  // namespace

std::vector<std::string> engine_command() {
  const char* text = command_from_environment();
  if (text == nullptr) return {ZERIN_ENGINE_PATH};
  std::vector<std::string> words;
  std::string word;
  for (const char* c = text;; ++c) {
    if (*c == '\0' || *c == ' ' || *c == '\t') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
      if (*c == '\0') break;
    } else {
      word.push_back(*c);
    }
  }
  return words;
}

bool engine_command_from_environment() { return command_from_environment() != nullptr; }

std::string describe_command(const std::vector<std::string>& command) {
  std::string text;
  for (const std::string& word : command) text += (text.empty() ? "" : " ") + word;
  return text;
}

EngineProcess::EngineProcess(std::vector<std::string> command)
    : strip_carriage_returns_(engine_command_from_environment()) {
  ignore_sigpipe_once();
  if (command.empty()) return;
  int to_child[2], from_child[2];
  if (::pipe2(to_child, O_CLOEXEC) != 0) return;
  if (::pipe2(from_child, O_CLOEXEC) != 0) {
    ::close(to_child[0]);
    ::close(to_child[1]);
    return;
  }

  // dup2 drops close-on-exec on the copies, so only the child's standard input and
  // output survive the exec; every other pipe end (ours, or another engine's) closes.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_child[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, from_child[1], STDOUT_FILENO);

  // SIGPIPE is ignored here; the engine gets the default action back.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &signals);
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  std::vector<std::string> env = child_environment();
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);

  pid_t pid = -1;
  const int failed =
      ::posix_spawnp(&pid, command[0].c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(to_child[0]);
  ::close(from_child[1]);
  if (failed != 0) {
    ::close(to_child[1]);
    ::close(from_child[0]);
    return;
  }
  pid_ = pid;
  input_fd_ = to_child[1];
  output_fd_ = from_child[0];
  reader_ = std::thread([this] { reader_main(); });
}

EngineProcess::~EngineProcess() {
  close_fd(input_fd_);
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    reap(true);
  }
  // The child is gone, so its end of the output pipe is closed and the reader sees the end.
  if (reader_.joinable()) reader_.join();
  close_fd(output_fd_);
}

void EngineProcess::reader_main() {
  std::string partial;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(output_fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    const Clock::time_point arrival = Clock::now();
    std::lock_guard<std::mutex> guard(mutex_);
    bool any = false;
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] == '\n') {
        if (strip_carriage_returns_ && !partial.empty() && partial.back() == '\r') partial.pop_back();
        lines_.emplace_back(std::move(partial), arrival);
        partial.clear();
        any = true;
      } else {
        partial.push_back(buffer[i]);
      }
    }
    if (any) arrived_.notify_all();
  }
  std::lock_guard<std::mutex> guard(mutex_);
  if (!partial.empty()) lines_.emplace_back(std::move(partial), Clock::now());
  output_ended_ = true;
  arrived_.notify_all();
}

bool EngineProcess::send(std::string_view line) {
  std::string text(line);
  text.push_back('\n');
  return send_raw(text);
}

bool EngineProcess::send_raw(std::string_view bytes) {
  if (input_fd_ < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(input_fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::optional<std::string> EngineProcess::read_line(Millis timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  arrived_.wait_for(lock, timeout, [this] { return !lines_.empty() || output_ended_; });
  if (lines_.empty()) return std::nullopt;
  std::string line = std::move(lines_.front().first);
  last_arrival_ = lines_.front().second;
  lines_.pop_front();
  return line;
}

EngineProcess::Collected EngineProcess::read_until(
    const std::function<bool(const std::string&)>& done, Millis timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  Collected result;
  for (;;) {
    const auto left = std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
    std::optional<std::string> line = read_line(left > Millis(0) ? left : Millis(0));
    if (!line) return result;
    result.lines.push_back(*line);
    if (done(*line)) {
      result.matched = true;
      return result;
    }
  }
}

std::vector<std::string> EngineProcess::read_until_quiet(Millis quiet, Millis limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::vector<std::string> lines;
  while (std::chrono::steady_clock::now() < deadline) {
    std::optional<std::string> line = read_line(quiet);
    if (!line) break;
    lines.push_back(*line);
  }
  return lines;
}

void EngineProcess::close_input() { close_fd(input_fd_); }

void EngineProcess::reap(bool block) {
  if (pid_ <= 0) return;
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == pid_) {
    exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
  } else if (r < 0) {
    pid_ = -1;  // not our child any more; nothing left to wait for
  }
}

std::optional<int> EngineProcess::wait_exit(Millis timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    reap(false);
    if (pid_ <= 0) return exit_status_;
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(Millis(2));
  }
}

bool EngineProcess::running() {
  reap(false);
  return pid_ > 0;
}

bool EngineProcess::suspend() { return pid_ > 0 && ::kill(pid_, SIGSTOP) == 0; }

bool EngineProcess::resume() { return pid_ > 0 && ::kill(pid_, SIGCONT) == 0; }

ThreadWaits EngineProcess::processor_waits() const {
  ThreadWaits waits;
  if (pid_ <= 0) return waits;
  const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
  DIR* dir = ::opendir(tasks.c_str());
  if (dir == nullptr) return waits;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    std::ifstream in(tasks + "/" + entry->d_name + "/schedstat");
    int64_t running = 0, waiting = 0;
    if (in >> running >> waiting) waits[static_cast<pid_t>(std::atoi(entry->d_name))] = waiting;
  }
  ::closedir(dir);
  return waits;
}

Millis EngineProcess::reply_path_wait_since(const ThreadWaits& before, bool command_thread_only) const {
  const ThreadWaits now = processor_waits();
  int64_t longest = 0;
  int counted = 0;
  for (const auto& [thread, was] : before) {  // in the order the threads were started
    if (counted++ == (command_thread_only ? 1 : 2)) break;
    const auto waited = now.find(thread);
    if (waited != now.end()) longest = std::max(longest, waited->second - was);
  }
  return std::chrono::duration_cast<Millis>(std::chrono::nanoseconds(longest));
}

}  // namespace zerin_test
