#include "board/hash_tables.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/output.h"
#include "core/platform.h"

namespace zerin {

HashTables hash_tables;

namespace {

// All six tables share one block: the two transposition tables, then the four threat
// tables, 384 bytes per unit of hash_size when both counts are equal. One block means
// one request to the system for the whole size, so a size the machine cannot hold is
// refused as a whole instead of being granted table by table.
constexpr size_t BLOCK_ALIGN = sizeof(TransBucket);  // buckets start on 128-byte boundaries

// One bucket per table, for when not even that much can be allocated.
alignas(BLOCK_ALIGN) unsigned char reserve_block[2 * sizeof(TransBucket) + 4 * sizeof(ThreatBucket)];

constexpr uint64_t HUGE_PAGE = platform::HUGE_PAGE;
// The tables are faulted in and cleared a stretch at a time, so that whoever waits for
// the thread doing it (a request, a limit test) waits for one stretch at most: a few
// milliseconds where the system is slowest to hand out fresh pages.
constexpr size_t STEP_BYTES = size_t{512} << 10;

// The memory behind the tables.
struct Storage {
  platform::PageBlock block;  // the allocation itself; base null when nothing is allocated
  // The stretch of a block straight from the system whose pages have not all been
  // faulted in yet (empty once every page is in). Its pages read as zero, but the first
  // write to each costs a page fault in which the system zeroes the page: on a virtual
  // machine up to several seconds per GiB, or milliseconds per 2 MiB page. The buckets a
  // search stores to are spread over the whole block, so the first thousand nodes of a
  // search touch nearly every page. The idle search thread, and a search's limit tests
  // while any are left, fault them in step by step (prefault_hash_tables_step).
  unsigned char* prefault_next = nullptr;
  unsigned char* prefault_end = nullptr;
  // Where a clear made step by step goes on (null: none under way).
  unsigned char* clear_next = nullptr;
};
Storage storage;

void all_pages_in() {
  storage.prefault_next = storage.prefault_end = nullptr;
  hash_tables.pages_pending = false;
}

void release_block() {
  platform::release_pages(storage.block);  // the reserve block is never freed
  hash_tables.clean = false;
  storage.clear_next = nullptr;
  all_pages_in();
  hash_tables.trans_table[0] = hash_tables.trans_table[1] = nullptr;
  for (ThreatBucket*& t : hash_tables.threat_hash) t = nullptr;
  hash_tables.trans_allocated = hash_tables.threat_allocated = 0;
}

// A zeroed block for the given counts, or null; returns where the tables start. The size
// is worked out in 64 bits (counts are below 2^31, so at most about 2^40 bytes) and
// refused when size_t cannot hold it.
unsigned char* allocate_block(int32_t trans, int32_t threat) {
  const uint64_t wanted = 2 * sizeof(TransBucket) * static_cast<uint64_t>(trans) +
                          4 * sizeof(ThreatBucket) * static_cast<uint64_t>(threat);
  // With the system's rounding and alignment room the block takes up to two huge pages more.
  if (wanted + 2 * HUGE_PAGE > std::numeric_limits<size_t>::max() / 2) return nullptr;
  storage.block = platform::allocate_pages(static_cast<size_t>(wanted));
  if (storage.block.base == nullptr) return nullptr;
  if (storage.block.resident) {
    all_pages_in();
  } else {
    storage.prefault_next = storage.block.start;
    storage.prefault_end = storage.block.start + storage.block.usable;
    hash_tables.pages_pending = true;
  }
  return storage.block.start;
}

void carve_tables(unsigned char* start, int32_t trans, int32_t threat) {
  const uintptr_t raw = reinterpret_cast<uintptr_t>(start);
  const uintptr_t aligned = (raw + BLOCK_ALIGN - 1) & ~static_cast<uintptr_t>(BLOCK_ALIGN - 1);
  hash_tables.trans_table[0] = reinterpret_cast<TransBucket*>(start + (aligned - raw));
  hash_tables.trans_table[1] = hash_tables.trans_table[0] + trans;
  hash_tables.threat_hash[0] = reinterpret_cast<ThreatBucket*>(hash_tables.trans_table[1] + trans);
  for (int k = 1; k < 4; ++k) hash_tables.threat_hash[k] = hash_tables.threat_hash[k - 1] + threat;
  hash_tables.trans_allocated = trans;
  hash_tables.threat_allocated = threat;
}

// The largest power of two below n (n >= 2).
int32_t power_of_two_below(int32_t n) {
  int64_t p = 1;
  while (p * 2 < n) p *= 2;
  return static_cast<int32_t>(p);
}

// A 64-bit mixer (MurmurHash3's finalizer): every bit of its input reaches every bit of
// its output, and 0 stays 0.
constexpr uint64_t mix64(uint64_t x) {
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDull;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53ull;
  return x ^ (x >> 33);
}

// The fields are mixed before they make the check word. A check that combines them
// linearly (shifted and XORed) lets each half of the lock cover only some of them, so an
// entry blended from two stores of one key (the low half and its fields from one, the
// high half with the upper bound from the other) would still match. Mixed, a blend
// matches by chance only, once in 2^32 at most. An empty entry's check word is 0.
uint64_t check_word(const TransEntry& e) {
  const uint64_t bounds = static_cast<uint64_t>(static_cast<uint32_t>(e.upper)) |
                          static_cast<uint64_t>(static_cast<uint32_t>(e.lower)) << 32;
  const uint64_t rest = static_cast<uint64_t>(static_cast<uint16_t>(e.depth)) |
                        static_cast<uint64_t>(static_cast<uint8_t>(e.bound)) << 16;
  return mix64(bounds ^ rest * 0x9E3779B97F4A7C15ull);
}

// Every field of the tables is read and written with relaxed atomic accesses: helper
// threads probe and store while the search thread does, without locks. A read may mix
// two writes; the lock words catch that, since each is the key XOR a check of the very
// values it was made from (for the transposition table upper, lower, depth and bound;
// for the threat table the value), so a mixed entry no longer matches its key. Fields
// the check does not cover (moves, ages) only steer move order and replacement.
template <typename T>
inline T load_relaxed(const T& field) {
  return __atomic_load_n(&field, __ATOMIC_RELAXED);
}

template <typename T>
inline void store_relaxed(T& field, T value) {
  __atomic_store_n(&field, value, __ATOMIC_RELAXED);
}

// The fields the lock covers, and the lock: enough to tell whether the entry matches.
TransEntry read_checked_fields(const TransEntry& slot) {
  TransEntry e;
  e.lock_lo = load_relaxed(slot.lock_lo);
  e.lock_hi = load_relaxed(slot.lock_hi);
  e.upper = load_relaxed(slot.upper);
  e.lower = load_relaxed(slot.lower);
  e.depth = load_relaxed(slot.depth);
  e.bound = load_relaxed(slot.bound);
  return e;
}

TransEntry read_entry(const TransEntry& slot) {
  TransEntry e = read_checked_fields(slot);
  e.generation = load_relaxed(slot.generation);
  e.move_count = load_relaxed(slot.move_count);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 2; ++j) e.moves[i][j] = load_relaxed(slot.moves[i][j]);
  return e;
}

// Stores the fields of e that differ from was, the entry as read before. Most stores
// change little (often only nothing at all): a field written with its own value would
// still take its cache line from the other threads that read the same entry.
template <typename T>
inline void store_changed(T& field, T value, T was) {
  if (value != was) store_relaxed(field, value);
}

void write_entry(TransEntry& slot, const TransEntry& e, const TransEntry& was) {
  store_changed(slot.lock_lo, e.lock_lo, was.lock_lo);
  store_changed(slot.lock_hi, e.lock_hi, was.lock_hi);
  store_changed(slot.upper, e.upper, was.upper);
  store_changed(slot.lower, e.lower, was.lower);
  store_changed(slot.depth, e.depth, was.depth);
  store_changed(slot.generation, e.generation, was.generation);
  store_changed(slot.bound, e.bound, was.bound);
  store_changed(slot.move_count, e.move_count, was.move_count);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 2; ++j) store_changed(slot.moves[i][j], e.moves[i][j], was.moves[i][j]);
}

// After a store the tables no longer hold zeros only; written once, so that threads
// storing at once do not all keep writing the same word.
inline void mark_tables_used() {
  if (hash_tables.clean) hash_tables.clean = false;
}

bool entry_matches(const TransEntry& e, uint64_t key) {
  const uint64_t lock = static_cast<uint64_t>(e.lock_hi) << 32 | e.lock_lo;
  return (lock ^ check_word(e)) == key;
}

void set_lock(TransEntry& e, uint64_t key) {
  const uint64_t lock = key ^ check_word(e);
  e.lock_lo = static_cast<uint32_t>(lock);
  e.lock_hi = static_cast<uint32_t>(lock >> 32);
}

void deliver_moves(const TransEntry& slot, int* first_bytes, int* second_bytes, int wanted) {
  const int n = std::min(std::max(wanted, 1), 3);
  for (int i = 0; i < n; ++i) {
    first_bytes[i] = load_relaxed(slot.moves[i][0]);
    second_bytes[i] = load_relaxed(slot.moves[i][1]);
  }
}

// Puts the move in front, pushing the others back (the last one falls off), and drops
// an older copy of it so that no move is listed twice.
void insert_move(TransEntry& e, int a, int b) {
  if (a == -1) return;
  const int8_t ma = static_cast<int8_t>(a), mb = static_cast<int8_t>(b);
  std::memmove(e.moves[1], e.moves[0], 2 * sizeof e.moves[0]);
  e.moves[0][0] = ma;
  e.moves[0][1] = mb;
  e.move_count = static_cast<int8_t>(std::min(e.move_count + 1, 3));
  for (int slot : {2, 1}) {
    if (e.moves[slot][0] == ma && e.moves[slot][1] == mb) {
      e.moves[slot][0] = e.moves[slot][1] = -1;
      --e.move_count;
      return;
    }
  }
}

void write_new_entry(TransEntry& e, uint64_t key, int depth, int32_t value, int bound, int g,
                     const int (&moves)[3][2]) {
  e.upper = e.lower = value;
  e.depth = static_cast<int16_t>(depth);
  e.generation = static_cast<int16_t>(g);
  e.bound = static_cast<int8_t>(bound);
  int count = 0;
  for (int i = 0; i < 3; ++i) {
    e.moves[i][0] = static_cast<int8_t>(moves[i][0]);
    e.moves[i][1] = static_cast<int8_t>(moves[i][1]);
    if (moves[i][0] != -1) ++count;
  }
  e.move_count = static_cast<int8_t>(count);
  set_lock(e, key);
}

// e matches the key and e.depth <= depth.
void merge_into(TransEntry& e, uint64_t key, int depth, int32_t value, int bound,
                const int (&moves)[3][2]) {
  for (int i = 2; i >= 0; --i) insert_move(e, moves[i][0], moves[i][1]);
  const bool exact = e.bound == BOUND_EXACT && e.upper == e.lower;
  if (depth > e.depth) {
    e.upper = e.lower = value;
    e.depth = static_cast<int16_t>(depth);
    e.bound = static_cast<int8_t>(bound);
  } else if (bound == BOUND_EXACT) {
    e.upper = e.lower = value;
    e.bound = BOUND_EXACT;
  } else if (bound == BOUND_UPPER && !exact) {
    e.upper = std::min(e.upper, value);
    e.bound |= BOUND_UPPER;
  } else if (bound == BOUND_LOWER && !exact) {
    e.lower = std::max(e.lower, value);
    e.bound |= BOUND_LOWER;
  } else {
    return;
  }
  set_lock(e, key);
}

}  // namespace

void resize_hash_tables() {
  const int32_t asked_trans = std::max<int32_t>(hash_tables.trans_buckets, 1);
  const int32_t asked_threat = std::max<int32_t>(hash_tables.threat_buckets, 1);
  hash_tables.trans_buckets = asked_trans;
  hash_tables.threat_buckets = asked_threat;
  if (hash_tables.trans_allocated == asked_trans && hash_tables.threat_allocated == asked_threat) return;

  // The old block goes first so that its memory can serve the new one.
  release_block();
  int32_t trans = asked_trans, threat = asked_threat;
  unsigned char* block = allocate_block(trans, threat);
  while (block == nullptr && (trans > 1 || threat > 1)) {
    const int32_t cap = power_of_two_below(std::max(trans, threat));
    trans = std::min(trans, cap);
    threat = std::min(threat, cap);
    block = allocate_block(trans, threat);
  }
  hash_tables.clean = true;  // a fresh block, or the reserve cleared below
  if (block != nullptr) {
    carve_tables(block, trans, threat);
  } else {
    std::memset(reserve_block, 0, sizeof reserve_block);
    carve_tables(reserve_block, 1, 1);
    trans = threat = 1;
  }
  hash_tables.trans_buckets = trans;
  hash_tables.threat_buckets = threat;

  if (trans != asked_trans || threat != asked_threat) {
    if (asked_trans == asked_threat && trans == threat)
      log_line("MESSAGE not enough memory for %d hash buckets, using %d", asked_trans, trans);
    else
      log_line("MESSAGE not enough memory for %d/%d hash buckets, using %d/%d", asked_trans,
               asked_threat, trans, threat);
  }
}

bool prefault_hash_tables_step() {
  if (storage.prefault_next >= storage.prefault_end) return false;
  const size_t length = std::min<size_t>(STEP_BYTES, static_cast<size_t>(storage.prefault_end - storage.prefault_next));
  platform::fault_in_pages(storage.prefault_next, length);
  storage.prefault_next += length;
  if (storage.prefault_next < storage.prefault_end) return true;
  all_pages_in();
  return false;
}

namespace {

// Tables in the reserve block (or none at all).
void zero_tables() {
  for (TransBucket* t : hash_tables.trans_table)
    if (t != nullptr) std::memset(t, 0, static_cast<size_t>(hash_tables.trans_allocated) * sizeof(TransBucket));
  for (ThreatBucket* t : hash_tables.threat_hash)
    if (t != nullptr) std::memset(t, 0, static_cast<size_t>(hash_tables.threat_allocated) * sizeof(ThreatBucket));
}

// Where the pages already faulted in end, on a huge-page boundary: up to there a clear
// writes zeros into resident pages; beyond, the pages that searches have touched are
// given back (platform::zero_pages), so that the clear faults in none of the others.
unsigned char* resident_end() {
  unsigned char* const end = storage.block.start + storage.block.usable;
  if (storage.prefault_next == nullptr) return end;
  const size_t done = static_cast<size_t>(storage.prefault_next - storage.block.start);
  return storage.block.start + std::min<size_t>(storage.block.usable, (done + HUGE_PAGE - 1) / HUGE_PAGE * HUGE_PAGE);
}

// One stretch of a clear; true when more is left.
bool clear_step() {
  if (storage.block.base == nullptr) {
    zero_tables();
    return false;
  }
  if (storage.clear_next == nullptr) storage.clear_next = storage.block.start;
  unsigned char* const split = resident_end();
  if (storage.clear_next < split) {
    const size_t length = std::min<size_t>(STEP_BYTES, static_cast<size_t>(split - storage.clear_next));
    std::memset(storage.clear_next, 0, length);
    storage.clear_next += length;
    return true;
  }
  unsigned char* const end = storage.block.start + storage.block.usable;
  if (split < end) platform::zero_pages(split, static_cast<size_t>(end - split));
  storage.clear_next = nullptr;
  return false;
}

}  // namespace

bool clear_hash_tables_step() {
  // Zeroing tables that hold nothing would only touch pages: a fresh block's, or, for a
  // block cleared when its game started, every page again inside the first decision.
  if (hash_tables.clean) return false;
  if (clear_step()) return true;
  hash_tables.clean = true;
  return false;
}

void abandon_hash_clear() { storage.clear_next = nullptr; }

void clear_hash_tables() {
  while (clear_hash_tables_step()) {
  }
}

namespace {

// The first slot of key's bucket that matches key, with its checked fields read into e;
// null when none does.
const TransEntry* matching_slot(int side, uint64_t key, TransEntry& e) {
  const TransBucket& bucket = trans_bucket(side, key);
  for (const TransEntry& slot : bucket.entries) {
    e = read_checked_fields(slot);
    if (entry_matches(e, key)) return &slot;
  }
  return nullptr;
}

}  // namespace

bool find_entry(int side, uint64_t key, TransEntry* found) { return matching_slot(side, key, *found) != nullptr; }

int probe_table(int depth, int alpha, int beta, int side, uint32_t key_lo, uint32_t key_hi,
                int* first_bytes, int* second_bytes, int wanted) {
  const uint64_t key = static_cast<uint64_t>(key_hi) << 32 | key_lo;
  TransEntry e;
  const TransEntry* const found = matching_slot(side, key, e);
  if (found != nullptr) {
    const TransEntry& slot = *found;
    const bool upper_mate = decided(e.upper);
    const bool lower_mate = decided(e.lower);
    const int32_t upper = from_stored(e.upper, depth);
    const int32_t lower = from_stored(e.lower, depth);
    const bool deep_enough = e.depth >= depth;
    if (e.upper == e.lower && e.bound == BOUND_EXACT && (upper_mate || deep_enough)) {
      deliver_moves(slot, first_bytes, second_bytes, wanted);
      return upper;
    }
    if ((e.bound & BOUND_UPPER) && upper <= alpha && (upper_mate || deep_enough)) {
      deliver_moves(slot, first_bytes, second_bytes, wanted);
      return upper;
    }
    if ((e.bound & BOUND_LOWER) && lower >= beta && (lower_mate || deep_enough)) {
      deliver_moves(slot, first_bytes, second_bytes, wanted);
      return lower;
    }
    if (deep_enough || (upper_mate && lower_mate)) deliver_moves(slot, first_bytes, second_bytes, wanted);
  }
  return HASH_MISS;
}

void store_table(uint64_t key, int generation, int depth, int value, int bound, int side, int m1a, int m1b,
                 int m2a, int m2b, int m3a, int m3b) {
  const int moves[3][2] = {{m1a, m1b}, {m2a, m2b}, {m3a, m3b}};
  mark_tables_used();
  const int g = generation;
  TransBucket& bucket = trans_bucket(side, key);
  TransEntry entries[4];
  int victim = 0;
  int target = -1;
  for (int i = 0; i < 4; ++i) {
    TransEntry& e = entries[i];
    e = read_entry(bucket.entries[i]);
    if (e.bound == 0) {
      target = i;
      break;
    }
    if (entry_matches(e, key)) {
      const TransEntry was = e;
      e.generation = static_cast<int16_t>(g);
      if (e.depth <= depth) merge_into(e, key, depth, to_stored(value, depth), bound, moves);
      write_entry(bucket.entries[i], e, was);
      return;
    }
    // Left from two or more moves ago (or from a position taken back): free to reuse.
    if (std::abs(e.generation - g) > 1) {
      target = i;
      break;
    }
    // Entries of the current move and exact entries are worth keeping; among equals the
    // shallower one goes.
    const TransEntry& v = entries[victim];
    const int score = (v.generation == g ? 2 : 0) - (e.generation == g || e.bound == BOUND_EXACT ? 2 : 0) +
                      (e.depth < v.depth ? 1 : 0);
    if (score > 0) victim = i;
  }
  if (target < 0) target = victim;
  TransEntry fresh;
  write_new_entry(fresh, key, depth, to_stored(value, depth), bound, g, moves);
  write_entry(bucket.entries[target], fresh, entries[target]);
}

namespace {

inline uint32_t sign_word(int32_t v) { return v < 0 ? 0xFFFFFFFFu : 0u; }

// The lock is the key XOR the value (and the value's sign word), so an entry matches
// only together with the value its lock was made from: a torn or foreign entry misses.
inline bool threat_entry_matches(uint32_t lock_lo, uint32_t lock_hi, int32_t value, uint64_t key) {
  return (lock_lo ^ static_cast<uint32_t>(value)) == static_cast<uint32_t>(key) &&
         (lock_hi ^ sign_word(value)) == static_cast<uint32_t>(key >> 32);
}

}  // namespace

int threat_probe(int kind, int h, int player, uint64_t key) {
  const ThreatBucket& bucket = threat_bucket(kind, player, key);
  for (const ThreatEntry& e : bucket.entries) {
    const int32_t value = load_relaxed(e.value);
    if (!threat_entry_matches(load_relaxed(e.lock_lo), load_relaxed(e.lock_hi), value, key)) continue;
    return from_stored(value, h);
  }
  return HASH_MISS;
}

void threat_store(uint64_t key, int generation, int value, int h, int kind, int player) {
  const int v = to_stored(value, h);
  const int g = generation & 0xFFFF;
  mark_tables_used();
  ThreatBucket& bucket = threat_bucket(kind, player, key);
  const ThreatEntry& first = bucket.entries[0];
  const uint32_t first_lo = load_relaxed(first.lock_lo), first_hi = load_relaxed(first.lock_hi);
  const int age = load_relaxed(first.generation) - g;
  // An entry stored nearer the threat root during this or the previous move survives.
  const bool keep_first = !threat_entry_matches(first_lo, first_hi, load_relaxed(first.value), key) &&
                          !(first_lo == 0 && first_hi == 0) && load_relaxed(first.level) > h && age >= -1 && age <= 1;
  // Only what changes is written (see write_entry).
  ThreatEntry& e = bucket.entries[keep_first ? 1 : 0];
  store_changed(e.lock_lo, static_cast<uint32_t>(key) ^ static_cast<uint32_t>(v), load_relaxed(e.lock_lo));
  store_changed(e.lock_hi, static_cast<uint32_t>(key >> 32) ^ sign_word(v), load_relaxed(e.lock_hi));
  store_changed(e.value, static_cast<int32_t>(v), load_relaxed(e.value));
  store_changed(e.level, static_cast<int16_t>(h), load_relaxed(e.level));
  store_changed(e.generation, static_cast<int16_t>(g), load_relaxed(e.generation));
}

}  // namespace zerin
