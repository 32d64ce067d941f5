// Bits into bytes, most significant bit first, as the decoders read them.
#pragma once
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <vector>

struct BitWriter {
  std::vector<unsigned char> bytes;  // the first `used` of them are output
  size_t used = 0;
  uint64_t pending = 0;       // bits not yet in `bytes`, right-aligned
  unsigned pendingCount = 0;  // below 32 between calls
};

// Bits written so far.
inline uint64_t BitsHeld(const BitWriter& writer) { return 8 * (uint64_t)writer.used + writer.pendingCount; }

// Makes room for `bits` more bits, so that PutBitsInRoom may append them.
inline void MakeRoom(BitWriter& writer, uint64_t bits) {
  const size_t needed = writer.used + (size_t)(bits / 8) + 8;
  if (needed > writer.bytes.size()) writer.bytes.resize(std::max(needed, 2 * writer.bytes.size()));
}

// Appends the low `count` bits of `value` (count at most 32) where room has
// been made.
inline void PutBitsInRoom(BitWriter& writer, uint32_t value, unsigned count) {
  writer.pending = (writer.pending << count) | (value & ((1ull << count) - 1));
  writer.pendingCount += count;
  if (writer.pendingCount < 32) return;
  writer.pendingCount -= 32;
  const uint32_t word = __builtin_bswap32((uint32_t)(writer.pending >> writer.pendingCount));
  memcpy(&writer.bytes[writer.used], &word, 4);
  writer.used += 4;
}

// Appends the low `count` bits of `value` (count at most 32).
inline void PutBits(BitWriter& writer, uint32_t value, unsigned count) {
  MakeRoom(writer, 32);
  PutBitsInRoom(writer, value, count);
}

// Completes the last byte with zero bits.
inline void FlushBits(BitWriter& writer) {
  writer.bytes.resize(writer.used + 8);
  for (; writer.pendingCount >= 8; writer.pendingCount -= 8)
    writer.bytes[writer.used++] = (unsigned char)(writer.pending >> (writer.pendingCount - 8));
  if (writer.pendingCount) writer.bytes[writer.used++] = (unsigned char)(writer.pending << (8 - writer.pendingCount));
  writer.pendingCount = 0;
}
