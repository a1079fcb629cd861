// The positions some thread is searching at the moment, shared by the threads of a
// decision. A thread that meets a move leading to a position another thread is busy
// with puts the move off to the end of its node: by then the other thread's result is
// in the hash table, and the threads spend their time on different parts of the tree
// instead of the same.
#pragma once

#include <atomic>
#include <cstdint>

namespace zerin {

// Nodes with less remaining depth than this are neither marked nor put off: they are
// cheap, and the marks would only cost.
constexpr int BUSY_MIN_DEPTH = 3;

class BusyTable {
 public:
  void clear() {
    for (std::atomic<uint64_t>& slot : slots_) slot.store(0, std::memory_order_relaxed);
  }
  void enter(uint64_t key) { slot(key).store(key, std::memory_order_relaxed); }
  void leave(uint64_t key) {
    uint64_t expected = key;
    slot(key).compare_exchange_strong(expected, 0, std::memory_order_relaxed);
  }
  bool busy(uint64_t key) const { return slots_[key & (SIZE - 1)].load(std::memory_order_relaxed) == key; }

 private:
  static constexpr int SIZE = 1 << 14;
  std::atomic<uint64_t>& slot(uint64_t key) { return slots_[key & (SIZE - 1)]; }
  std::atomic<uint64_t> slots_[SIZE] = {};
};

// Marks a node busy for as long as it is searched.
class BusyMark {
 public:
  BusyMark(BusyTable* table, uint64_t key) : table_(table), key_(key) {
    if (table_ != nullptr) table_->enter(key_);
  }
  ~BusyMark() {
    if (table_ != nullptr) table_->leave(key_);
  }
  BusyMark(const BusyMark&) = delete;
  BusyMark& operator=(const BusyMark&) = delete;

 private:
  BusyTable* table_;
  uint64_t key_;
};

}  // namespace zerin
