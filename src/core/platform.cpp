#include "core/platform.h"

#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace zerin::platform {

namespace {

size_t round_up(size_t bytes, size_t unit) { return (bytes + unit - 1) / unit * unit; }

// Keeps what the page holds: an atomic add of zero is a write the system must honour.
void touch_pages(unsigned char* start, size_t length) {
  for (size_t i = 0; i < length; i += 4096) __atomic_fetch_add(start + i, 0, __ATOMIC_RELAXED);
}

}  // namespace

#ifdef _WIN32

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
