#include "board/hash_tables.h"

namespace zerin {

int32_t trans_buckets = 524288;
int32_t threat_buckets = 524288;
int32_t trans_allocated = 0;
int32_t threat_allocated = 0;
TransBucket* trans_table[2] = {nullptr, nullptr};
ThreatBucket* threat_hash[4] = {nullptr, nullptr, nullptr, nullptr};

void resize_hash_tables() {}
void clear_hash_tables() {}

}  // namespace zerin
