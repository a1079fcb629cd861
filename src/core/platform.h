// What differs between the systems the engine runs on (Linux and other POSIX systems,
// Windows, WebAssembly): standard input and output modes, how command lines reach the
// engine and how it ends, whether it has threads, and the memory behind the hash tables.
// Nothing else in the engine asks which system it is on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zerin::platform {

// Whether the engine may start threads of its own. A WebAssembly build without threads
// (for pages that are not cross-origin isolated, which cannot share memory with a
// worker) carries out each search inside the command that asks for it; nothing can stop
// it but the time and node limits, or the host ending the engine.
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
constexpr bool THREADS_AVAILABLE = false;
#else
constexpr bool THREADS_AVAILABLE = true;
#endif

// Whether the search thread maps the hash tables of the size asked for so far as soon as
// it starts, before the first command. Linux and Windows hand out pages only when they
// are touched, so an early mapping costs nothing that a smaller INFO hash_size would
// regret. A WebAssembly module's memory only grows: the tables wait for the game start,
// after the host's INFO lines.
#if defined(__EMSCRIPTEN__)
constexpr bool MAP_TABLES_AT_START = false;
#else
constexpr bool MAP_TABLES_AT_START = true;
#endif

// The next character of standard input, or EOF at its end. In WebAssembly the host
// hands input over with zerin_input (platform.cpp); a threaded build waits here for it.
int read_input_char();

// Runs the command loop: step reads and carries out one command, and returns false when
// the process must end. Natively and in a threaded WebAssembly build the loop runs here
// until then, and run_command_loop returns. A WebAssembly build without threads leaves
// main here for good, keeping the module alive, and runs step whenever the host hands
// over whole lines; when step returns false, the process ends there.
void run_command_loop(bool (*step)());

// Puts standard input and output in the state the protocol needs. On Windows standard
// input is read in binary mode: the line reader drops the CR of a CR LF itself, and in
// text mode a stray Ctrl-Z byte would read as end of input. Standard output keeps the
// system's own line ends (CR LF on Windows).
void init_console();

// A block of zeroed memory straight from the system, for the hash tables.
struct PageBlock {
  void* base = nullptr;            // what the system returned; null when nothing is held
  size_t bytes = 0;                // its size
  unsigned char* start = nullptr;  // first usable byte, on a huge-page boundary where possible
  size_t usable = 0;               // usable bytes from start
  bool resident = false;           // every page is in already (locked large pages)
};

// The size of the pages the system faults in at once for such a block: 2 MiB (huge
// pages on Linux; a stretch size elsewhere).
constexpr size_t HUGE_PAGE = size_t{2} << 20;

// At least `bytes` usable bytes of zeroed memory, or a block with base null when the
// system refuses. Where the system grants huge or large pages the block asks for them,
// and it falls back to plain pages otherwise.
PageBlock allocate_pages(size_t bytes);
void release_pages(PageBlock& block);

// Makes the pages of [start, start + length) resident without changing what they hold.
void fault_in_pages(unsigned char* start, size_t length);

// Zeroes [start, start + length), a stretch of a block from allocate_pages whose ends lie
// on huge-page boundaries. Where the system can, it does so by taking the pages back
// (Linux): the stretch then costs nothing now, and a page fault where it is next touched.
// Elsewhere it writes the zeros.
void zero_pages(unsigned char* start, size_t length);

// The machine's physical memory in bytes, or 0 when the system does not tell.
uint64_t physical_memory_bytes();

}  // namespace zerin::platform
