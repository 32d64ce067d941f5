#define BIT_INPUT_OWNER
#include "bit_input.h"
#include <stddef.h>

DecodeState decodeState;

// The stub (the size build, 32-bit) keeps every scalar of the record within
// a one-byte offset.
static_assert(DECODE_FOR_SPEED || sizeof(void*) > 4 || offsetof(DecodeState, auxLengths) <= 128,
              "scalars beyond a one-byte offset");

void buildCrc16Table() {
  uint16_t (*const table)[CRC_SLICES] = decodeState.crc16Table;
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i;
    for (int round = 0; round < 8; ++round) r = (r & 1) ? (r >> 1) ^ 0xA001 : r >> 1;
    table[i][0] = (uint16_t)r;
  }
  // Slice k: the CRC of a byte followed by k zero bytes, from slice k - 1
  // just before it.
  uint16_t* const flat = table[0];
  for (unsigned j = 0; j < 256 * CRC_SLICES; ++j)
    if (j % CRC_SLICES) flat[j] = (uint16_t)((flat[j - 1] >> 8) ^ table[flat[j - 1] & 0xFF][0]);
}

// Four bytes a step (the CRC folded into the first two), each through the
// table of its distance from the end of the step; then byte by byte.
void addToCrc(const unsigned char* bytes, uint32_t count) {
  DecodeState* const ds = decodeBase();
  const uint16_t (*const t)[CRC_SLICES] = ds->crc16Table;
  unsigned crc = ds->memberCrc;
  // An unaligned word load (a call to memcpy would cost as much as the
  // step); little-endian, so the first byte is the lowest.
  typedef uint32_t __attribute__((may_alias, aligned(1))) Word;
  for (; count >= 4; count -= 4, bytes += 4) {
    uint32_t w = *(const Word*)bytes ^ crc;
    crc = t[w & 0xFF][3] ^ t[w >> 8 & 0xFF][2] ^ t[w >> 16 & 0xFF][1] ^ t[w >> 24][0];
  }
  for (; count; --count) crc = t[(crc ^ *bytes++) & 0xFF][0] ^ (crc >> 8);
  ds->memberCrc = (uint16_t)crc;
}

void writeAndCrc(const unsigned char* bytes, uint32_t count, FILE* stream) {
  addToCrc(bytes, count);
  if (fwrite(bytes, 1, count, stream) != count) decodeState.memberFailed = MEMBER_WRITE_FAILED;
}

enum { FALLBACK_INPUT_BUFFER_SIZE = 16384 };

bool fillInputBuffer(uint32_t compressedSize) {
  DecodeState* const ds = decodeBase();
  MEMORYSTATUS memory = {};
  GlobalMemoryStatus(&memory);
  uint32_t size = compressedSize;
  if (memory.dwAvailPhys != 0 && compressedSize > memory.dwAvailPhys) size = (uint32_t)memory.dwAvailPhys;
  // An even size is asked one byte larger, so that an empty member still
  // has a buffer (and no size wraps to 0).
  unsigned char* buffer;
  while (!(buffer = (unsigned char*)malloc(size | 1))) {
    if (size == FALLBACK_INPUT_BUFFER_SIZE) return false;
    size = FALLBACK_INPUT_BUFFER_SIZE;
  }
  ds->inputBuffer = buffer;
  ds->inputBufferSize = size;
  ds->input.inputNext = ds->input.inputEnd = buffer;
  ds->input.bitsInWindow = 0;  // -lz5- never starts the bit reader
  ds->compressedLeft = compressedSize;
  ds->bytesPastEnd = 0;
  return true;
}

// The buffer is forgotten as it is freed, so that no later release can free
// it twice.
void releaseInputBuffer() {
  free(decodeState.inputBuffer);
  decodeState.inputBuffer = 0;
}

// Reads the next buffer-full, but never beyond the member. A short read (the
// archive ends early) fails the member, and what it got is dropped: the
// member's data then ends where a buffer-full starts, at the same bit in
// both builds, and the member stops at the bound on bits taken beyond it
// without decoding more of a member that has failed.
unsigned refillInput() {
  DecodeState* const ds = decodeBase();
  uint32_t want = ds->compressedLeft < ds->inputBufferSize ? ds->compressedLeft : ds->inputBufferSize;
  ds->compressedLeft -= want;
  size_t got = want ? fread(ds->inputBuffer, 1, want, ds->archiveStream) : 0;
  if (got < want) {
    ds->memberFailed = MEMBER_CUT_SHORT;
    got = 0;
  }
  ds->input.inputNext = ds->inputBuffer;
  ds->input.inputEnd = ds->inputBuffer + got;
  if (!got) {
    ++ds->bytesPastEnd;
    return 0;
  }
  return *ds->input.inputNext++;
}

// The speed build first takes eight bytes at once while they lie in the
// buffer; the bits of a partly taken byte are ORed in as well, and as they
// are the stream's next bits, taking the byte again later changes nothing.
void refillBits() {
  BitReader& in = decodeBase()->input;
#if DECODE_FOR_SPEED
  if (in.inputEnd - in.inputNext >= 8) {
    uint64_t bytes;
    memcpy(&bytes, in.inputNext, 8);
    in.bitWindow |= __builtin_bswap64(bytes) >> in.bitsInWindow;
    unsigned taken = (BIT_WORD_BITS - in.bitsInWindow) >> 3;
    in.inputNext += taken;
    in.bitsInWindow += taken * 8;
    return;
  }
#endif
  while (in.bitsInWindow <= BIT_WORD_BITS - 8) {
    in.bitWindow |= (BitWord)nextCompressedByte() << (BIT_WORD_BITS - 8 - in.bitsInWindow);
    in.bitsInWindow += 8;
  }
}

void startBits() {
  BitReader& in = decodeBase()->input;
  in.bitWindow = 0;
  in.bitsInWindow = 0;
  refillBits();
}
