// Bits into bytes, most significant bit first, as the decoders read them.
#pragma once
#include <stdint.h>
#include <string.h>

#include <vector>

struct BitWriter {
  std::vector<unsigned char> bytes;  // the first `used` of them are output
  size_t used = 0;
  uint64_t pending = 0;       // bits not yet in `bytes`, right-aligned
  unsigned pendingCount = 0;  // below 32 between calls
};

// Appends the low `count` bits of `value` (count at most 32).
inline void PutBits(BitWriter& writer, uint32_t value, unsigned count) {
  writer.pending = (writer.pending << count) | (value & ((1ull << count) - 1));
  writer.pendingCount += count;
  if (writer.pendingCount < 32) return;
  writer.pendingCount -= 32;
  if (writer.used + 4 > writer.bytes.size()) writer.bytes.resize(2 * writer.bytes.size() + 4096);
  const uint32_t word = __builtin_bswap32((uint32_t)(writer.pending >> writer.pendingCount));
  memcpy(&writer.bytes[writer.used], &word, 4);
  writer.used += 4;
}

// Completes the last byte with zero bits.
inline void FlushBits(BitWriter& writer) {
  writer.bytes.resize(writer.used + 8);
  for (; writer.pendingCount >= 8; writer.pendingCount -= 8)
    writer.bytes[writer.used++] = (unsigned char)(writer.pending >> (writer.pendingCount - 8));
  if (writer.pendingCount) writer.bytes[writer.used++] = (unsigned char)(writer.pending << (8 - writer.pendingCount));
  writer.pendingCount = 0;
}
