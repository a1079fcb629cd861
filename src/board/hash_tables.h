// Storage of the two hash-table families keyed by the position's hash_key: the
// transposition table of the game-tree search, and the four-threat search's table.
#pragma once

#include <cstdint>

#include "core/constants.h"
#include "core/relaxed.h"

namespace zerin {

struct TransEntry {
  uint32_t lock_lo;  // key XOR check word, low half
  uint32_t lock_hi;  // high half
  int32_t upper;     // valid when bound bit 0 is set
  int32_t lower;     // valid when bound bit 1 is set
  int16_t depth;
  int16_t generation;  // game moves when last stored or hit
  int8_t bound;        // 0 empty, bit 0 upper, bit 1 lower, 3 with upper == lower exact
  int8_t move_count;
  int8_t moves[3][2];  // most recent first; (-1, -1) = none
  uint8_t unused[4];
};
static_assert(sizeof(TransEntry) == 32, "four entries per 128-byte bucket");

struct TransBucket {
  TransEntry entries[4];
};

struct ThreatEntry {
  uint32_t lock_lo;  // key low half XOR value
  uint32_t lock_hi;  // key high half XOR sign word of value
  int32_t value;
  int16_t level;       // 576 - ply of the storing node
  int16_t generation;  // low 16 bits of the game's move count
};
static_assert(sizeof(ThreatEntry) == 16, "two entries per 32-byte bucket");

struct ThreatBucket {
  ThreatEntry entries[2];
};

// The tables and their sizes.
struct HashTables {
  // Bucket counts per table. A count need not be a power of two: the bucket of a key is
  // (low 32 bits of the key) & (count - 1), which always stays in bounds.
  int32_t trans_buckets = 524288;
  int32_t threat_buckets = 524288;
  // Counts the current arrays were allocated for (0 = nothing allocated yet). After
  // resize_hash_tables they equal trans_buckets and threat_buckets.
  int32_t trans_allocated = 0;
  int32_t threat_allocated = 0;
  // The bucket count last asked for. When that much memory could not be had the tables
  // hold fewer buckets; remembering the request keeps a refused size from being tried
  // again before every search.
  int32_t requested_buckets = 524288;
  TransBucket* trans_table[2] = {nullptr, nullptr};                   // by side - 1
  ThreatBucket* threat_hash[4] = {nullptr, nullptr, nullptr, nullptr};  // by kind * 2 + player - 1
  // True while every table holds zeros: after an allocation or a clear, until the next
  // store (store_table and threat_store reset it).
  Relaxed<bool> clean{false};
  // True while a block straight from the system has pages not yet faulted in (see
  // prefault_hash_tables_step); the searches then test their time at every node.
  Relaxed<bool> pages_pending{false};
};

extern HashTables hash_tables;

// When either count differs from its allocated count, frees the tables and allocates
// all six afresh, zeroed. Counts below 1 are taken as 1. When memory is short the
// counts drop to smaller powers of two until allocation succeeds, a MESSAGE line names
// the count used, and hash_tables.trans_buckets / threat_buckets hold what was allocated.
// Afterwards every table exists.
void resize_hash_tables();
// Zeroes every allocated table; skips the ones not allocated yet, and does nothing while
// the tables are known to hold zeros only. Pages of a fresh block that are not faulted
// in yet are not touched (those a search wrote are given back to the system).
void clear_hash_tables();
// One stretch (512 KiB) of clear_hash_tables; false when the tables hold zeros only. No
// store may come between the steps of one clear: stores that would have to come first
// give the clear up (abandon_hash_clear), and the next step begins it anew.
bool clear_hash_tables_step();
void abandon_hash_clear();
// Faults in the next 512 KiB of a freshly allocated block without changing its
// contents; false when every page is in. A fresh block's pages are otherwise faulted in
// by the searches that touch them, at a cost the system sets.
bool prefault_hash_tables_step();

// Two's-complement addition, as the 32-bit value arithmetic of the search wraps.
inline int32_t wrapping_add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// Mate values are held relative to the node that stored them: a win found d plies below
// the root of a depth-n search is stored as if found at the storing node, and reading it
// back at another node's depth re-expresses it from there.
inline int32_t from_stored(int32_t v, int depth) {
  if (v >= DECIDED_BOUND) return wrapping_add(v, depth);
  if (v <= -DECIDED_BOUND) return wrapping_add(v, -depth);
  return v;
}

inline int32_t to_stored(int32_t v, int depth) {
  if (v >= DECIDED_BOUND) return wrapping_add(v, -depth);
  if (v <= -DECIDED_BOUND) return wrapping_add(v, depth);
  return v;
}

// The bucket of key in a table: the key's low 32 bits masked by the count less one.
inline TransBucket& trans_bucket(int side, uint64_t key) {
  return hash_tables.trans_table[side - 1][static_cast<uint32_t>(key) & static_cast<uint32_t>(hash_tables.trans_allocated - 1)];
}

inline ThreatBucket& threat_bucket(int kind, int player, uint64_t key) {
  return hash_tables.threat_hash[kind * 2 + player - 1]
                                [static_cast<uint32_t>(key) & static_cast<uint32_t>(hash_tables.threat_allocated - 1)];
}

// Asks the memory for the bucket a later probe or store of key will read, so that the
// miss is paid while the caller places the stone and works out its patterns rather than
// inside the probe: the tables are far larger than the caches, and their misses are a
// large share of a node's time. Changes nothing the search sees.
inline void prefetch_trans(int side, uint64_t key) {
  const TransBucket* bucket = &trans_bucket(side, key);
  __builtin_prefetch(bucket);
  __builtin_prefetch(reinterpret_cast<const char*>(bucket) + 64);
}

inline void prefetch_threat(int kind, int player, uint64_t key) { __builtin_prefetch(&threat_bucket(kind, player, key)); }

int probe_table(int depth, int alpha, int beta, int side, uint32_t key_lo, uint32_t key_hi,
                int* first_bytes, int* second_bytes, int wanted);
// What a probe of key finds before it weighs the bounds: true when an entry of the key's
// bucket matches key, with that entry's checked fields (upper, lower, depth, bound, and
// the lock) in *found.
bool find_entry(int side, uint64_t key, TransEntry* found);
// The bound argument of store_table: what the value is of the position's true value.
constexpr int BOUND_UPPER = 1;
constexpr int BOUND_LOWER = 2;
constexpr int BOUND_EXACT = 3;

// Stores for the position with this key; generation is the number of moves of the game
// (entries left from two or more moves ago are free to reuse).
void store_table(uint64_t key, int generation, int depth, int value, int bound, int side, int m1a, int m1b,
                 int m2a, int m2b, int m3a, int m3b);

// The four-threat search's table, indexed by kind (0 attacker, 1 defender) and player:
// a result for the position with this key, stored at threat level h (576 - ply), or
// HASH_MISS.
int threat_probe(int kind, int h, int player, uint64_t key);
void threat_store(uint64_t key, int generation, int value, int h, int kind, int player);

}  // namespace zerin
