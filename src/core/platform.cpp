#include "core/platform.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#elif defined(__EMSCRIPTEN__)
#include <emscripten.h>
#include <emscripten/heap.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace zerin::platform {

namespace {

size_t round_up(size_t bytes, size_t unit) { return (bytes + unit - 1) / unit * unit; }

#ifndef __EMSCRIPTEN__

// Keeps what the page holds: an atomic add of zero is a write the system must honour.
void touch_pages(unsigned char* start, size_t length) {
  for (size_t i = 0; i < length; i += 4096) __atomic_fetch_add(start + i, 0, __ATOMIC_RELAXED);
}

#endif

}  // namespace

#ifndef __EMSCRIPTEN__

// A console program: standard input is the manager's pipe, read by the C library.
int read_input_char() { return std::getchar(); }

void run_command_loop(bool (*step)()) {
  while (step()) {
  }
}

#endif

#if defined(_WIN32)

namespace {

// Large pages need the "Lock pages in memory" right, which an administrator grants; the
// process must still switch it on. Asked once.
bool lock_memory_privilege() {
  static const bool granted = [] {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    TOKEN_PRIVILEGES privileges{};
    bool ok = false;
    if (LookupPrivilegeValueA(nullptr, "SeLockMemoryPrivilege", &privileges.Privileges[0].Luid)) {
      privileges.PrivilegeCount = 1;
      privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      // Succeeds without granting when the right is not held: only ERROR_SUCCESS means it is on.
      ok = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
           GetLastError() == ERROR_SUCCESS;
    }
    CloseHandle(token);
    return ok;
  }();
  return granted;
}

}  // namespace

void init_console() { _setmode(_fileno(stdin), _O_BINARY); }

PageBlock allocate_pages(size_t bytes) {
  PageBlock block;
  const size_t large = GetLargePageMinimum();
  if (large != 0 && lock_memory_privilege()) {
    // Large pages are resident and zeroed from the start, and cost no page faults later.
    const size_t size = round_up(bytes, large);
    void* p = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT | MEM_LARGE_PAGES, PAGE_READWRITE);
    if (p != nullptr) {
      block.base = p;
      block.bytes = block.usable = size;
      block.start = static_cast<unsigned char*>(p);
      block.resident = true;
      return block;
    }
  }
  const size_t size = round_up(bytes, HUGE_PAGE);
  void* p = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (p == nullptr) return block;
  block.base = p;
  block.bytes = block.usable = size;
  block.start = static_cast<unsigned char*>(p);
  return block;
}

void release_pages(PageBlock& block) {
  if (block.base != nullptr) VirtualFree(block.base, 0, MEM_RELEASE);
  block = PageBlock{};
}

void fault_in_pages(unsigned char* start, size_t length) { touch_pages(start, length); }

// Decommitting and committing again would zero without writing, but a commit can fail
// once the system's commit charge is spent, leaving the tables unusable.
void zero_pages(unsigned char* start, size_t length) { std::memset(start, 0, length); }

uint64_t physical_memory_bytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? static_cast<uint64_t>(status.ullTotalPhys) : 0;
}

#elif defined(__EMSCRIPTEN__)

// WebAssembly, in a web page's worker or under node. The host (the page's engine worker,
// or the script that reads node's standard input) hands input over with zerin_input and
// announces its end with zerin_input_end; both run on the host's own thread. Replies
// leave through the C library's standard output, which the host receives line by line.

namespace {

// The alignment the hash tables want at least (their buckets' size).
constexpr size_t CACHE_BLOCK = 128;

struct HostInput {
  std::mutex lock;
  std::condition_variable arrived;
  std::string text;         // handed over; the part from `next` on is not read yet
  size_t next = 0;
  bool ended = false;       // no more input will come
  // Without threads: the command loop's step, run as whole lines arrive, and whether it
  // is running (a reply's delivery must not start another command inside it).
  bool (*step)() = nullptr;
  bool stepping = false;
};
HostInput host_input;

bool whole_line_pending() {
  const size_t unread = host_input.text.size() - host_input.next;
  return std::memchr(host_input.text.data() + host_input.next, '\n', unread) != nullptr;
}

// Without threads the commands run on the host's thread, each to its end, searches
// included. A block (BOARD and the like) must arrive whole: input that runs out inside
// one ends the engine, as the end of input does.
void run_pending_commands() {
  if (host_input.step == nullptr || host_input.stepping) return;
  host_input.stepping = true;
  while (whole_line_pending() || host_input.ended) {
    if (!host_input.step()) {
      std::fflush(stdout);
      std::_Exit(0);
    }
  }
  host_input.stepping = false;
}

}  // namespace

extern "C" {

// Hands length bytes of input to the engine (any number of lines, or part of one).
EMSCRIPTEN_KEEPALIVE void zerin_input(const char* text, int length) {
  {
    std::lock_guard<std::mutex> guard(host_input.lock);
    if (host_input.next == host_input.text.size()) {
      host_input.text.clear();
      host_input.next = 0;
    }
    host_input.text.append(text, static_cast<size_t>(length > 0 ? length : 0));
  }
  host_input.arrived.notify_all();
  if constexpr (!THREADS_AVAILABLE) run_pending_commands();
}

// The end of input: once what was handed over is read, the engine ends.
EMSCRIPTEN_KEEPALIVE void zerin_input_end() {
  {
    std::lock_guard<std::mutex> guard(host_input.lock);
    host_input.ended = true;
  }
  host_input.arrived.notify_all();
  if constexpr (!THREADS_AVAILABLE) run_pending_commands();
}

}  // extern "C"

int read_input_char() {
  std::unique_lock<std::mutex> lock(host_input.lock);
  if constexpr (THREADS_AVAILABLE)
    host_input.arrived.wait(lock, [] { return host_input.next < host_input.text.size() || host_input.ended; });
  if (host_input.next >= host_input.text.size()) return EOF;
  return static_cast<unsigned char>(host_input.text[host_input.next++]);
}

void run_command_loop(bool (*step)()) {
  if constexpr (THREADS_AVAILABLE) {
    while (step()) {
    }
    return;
  }
  host_input.step = step;
  run_pending_commands();  // what the host handed over before main ran
  emscripten_exit_with_live_runtime();
}

void init_console() {}

// The module's memory only grows, and what a block took stays the module's after it is
// released, ready for the next block. Pages come zeroed and committed.
PageBlock allocate_pages(size_t bytes) {
  PageBlock block;
  const size_t size = round_up(bytes, CACHE_BLOCK);
  void* p = std::aligned_alloc(CACHE_BLOCK, size);
  if (p == nullptr) return block;
  std::memset(p, 0, size);
  block.base = p;
  block.bytes = block.usable = size;
  block.start = static_cast<unsigned char*>(p);
  block.resident = true;
  return block;
}

void release_pages(PageBlock& block) {
  std::free(block.base);
  block = PageBlock{};
}

void fault_in_pages(unsigned char*, size_t) {}

// The tables' memory is the module's own: zeroes are written.
void zero_pages(unsigned char* start, size_t length) { std::memset(start, 0, length); }

// What the module's memory may grow to stands for the machine's memory here.
uint64_t physical_memory_bytes() { return emscripten_get_heap_max(); }

#else

void init_console() {}

PageBlock allocate_pages(size_t bytes) {
  PageBlock block;
  // One huge page more than asked, so that the usable part can start on a huge-page
  // boundary; then first touches fault once per 2 MiB instead of once per 4 KiB.
  const size_t usable = round_up(bytes, HUGE_PAGE);
  const size_t size = usable + HUGE_PAGE;
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return block;
  const uintptr_t raw = reinterpret_cast<uintptr_t>(p);
  block.base = p;
  block.bytes = size;
  block.start = static_cast<unsigned char*>(p) + (HUGE_PAGE - raw % HUGE_PAGE) % HUGE_PAGE;
  block.usable = usable;
#ifdef MADV_HUGEPAGE
  madvise(block.start, usable, MADV_HUGEPAGE);
#endif
  return block;
}

void release_pages(PageBlock& block) {
  if (block.base != nullptr) munmap(block.base, block.bytes);
  block = PageBlock{};
}

void fault_in_pages(unsigned char* start, size_t length) {
#ifdef MADV_POPULATE_WRITE
  if (madvise(start, length, MADV_POPULATE_WRITE) == 0) return;
#endif
  // Without the system's help: one write per page.
  touch_pages(start, length);
}

void zero_pages(unsigned char* start, size_t length) {
#if defined(__linux__) && defined(MADV_DONTNEED)
  // Private anonymous pages given back read as zero when next touched.
  if (madvise(start, length, MADV_DONTNEED) == 0) return;
#endif
  std::memset(start, 0, length);
}

uint64_t physical_memory_bytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  return pages > 0 && page_size > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size) : 0;
}

#endif

}  // namespace zerin::platform
