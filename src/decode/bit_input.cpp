#define BIT_INPUT_OWNER
#include "bit_input.h"
#include <stddef.h>

DecodeState decodeState;

// The stub (the size build, 32-bit) keeps every scalar of the record within
// a one-byte offset.
static_assert(DECODE_FOR_SPEED || sizeof(void*) > 4 || offsetof(DecodeState, auxLengths) <= 128,
              "scalars beyond a one-byte offset");

void buildCrc16Table() {
  uint16_t* const table = decodeState.crc16Table;
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i;
    for (int round = 0; round < 8; ++round) r = (r & 1) ? (r >> 1) ^ 0xA001 : r >> 1;
    table[i] = (uint16_t)r;
  }
  // Slice k: the CRC of a byte followed by k zero bytes.
  for (unsigned i = 256; i < CRC_SLICES * 256; ++i) {
    unsigned r = table[i - 256];
    table[i] = (uint16_t)((r >> 8) ^ table[r & 0xFF]);
  }
}

void addToCrc(const unsigned char* bytes, uint32_t count) {
  DecodeState* const ds = decodeBase();
  const uint16_t* const t = ds->crc16Table;
  unsigned crc = ds->memberCrc;
#if DECODE_FOR_SPEED
  for (; count >= 8; count -= 8, bytes += 8) {
    crc ^= bytes[0] | bytes[1] << 8;
    crc = t[7 * 256 + (crc & 0xFF)] ^ t[6 * 256 + (crc >> 8)] ^ t[5 * 256 + bytes[2]] ^
          t[4 * 256 + bytes[3]] ^ t[3 * 256 + bytes[4]] ^ t[2 * 256 + bytes[5]] ^ t[256 + bytes[6]] ^
          t[bytes[7]];
  }
#endif
  for (uint32_t i = 0; i < count; ++i) crc = t[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  ds->memberCrc = (uint16_t)crc;
}

void writeAndCrc(const unsigned char* bytes, uint32_t count, FILE* stream) {
  addToCrc(bytes, count);
  fwrite(bytes, 1, count, stream);
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
  ds->inputBufferPos = 0;
  fread(buffer, 1, size, ds->archiveStream);
  return true;
}

void releaseInputBuffer() { free(decodeState.inputBuffer); }

unsigned nextInputByte(FILE* stream) {
  DecodeState* const ds = decodeBase();
  if (ds->inputBufferPos == ds->inputBufferSize) {
    if (ds->inputBufferSize == 0) return 0;
    fread(ds->inputBuffer, 1, ds->inputBufferSize, stream);
    ds->inputBufferPos = 0;
  }
  return ds->inputBuffer[ds->inputBufferPos++];
}

#if DECODE_FOR_SPEED
// Fetches whole bytes while they fit below the valid bits: eight bytes at
// once while they lie inside the member and the buffer. The bits of a
// partly taken byte are ORed in as well; they are the stream's next bits,
// so taking the byte again later changes nothing.
void refillBits() {
  DecodeState* const ds = decodeBase();
  if (ds->compressedLeft >= 8 && ds->inputBufferSize - ds->inputBufferPos >= 8) {
    uint64_t bytes;
    memcpy(&bytes, ds->inputBuffer + ds->inputBufferPos, 8);
    ds->bitWindow |= __builtin_bswap64(bytes) >> ds->bitsInWindow;
    unsigned taken = (BIT_WORD_BITS - ds->bitsInWindow) >> 3;
    ds->inputBufferPos += taken;
    ds->compressedLeft -= taken;
    ds->bitsInWindow += taken * 8;
    return;
  }
  while (ds->bitsInWindow <= BIT_WORD_BITS - 8) {
    ds->bitWindow |= (BitWord)nextCompressedByte() << (BIT_WORD_BITS - 8 - ds->bitsInWindow);
    ds->bitsInWindow += 8;
  }
}
#else
// The window holds 16 to 23 valid bits; a read that leaves 15 fetches the
// next byte right below them.
unsigned readBits(unsigned n) {
  DecodeState* const ds = decodeBase();
  unsigned value = 0;
  for (; n; --n) {
    value = value << 1 | ds->bitWindow >> (BIT_WORD_BITS - 1);
    ds->bitWindow <<= 1;
    if (--ds->bitsInWindow < 16) {
      ds->bitWindow |= (BitWord)nextCompressedByte() << (BIT_WORD_BITS - 8 - 15);
      ds->bitsInWindow += 8;
    }
  }
  return value;
}
#endif

void startBits() {
  DecodeState* const ds = decodeBase();
  ds->bitWindow = 0;
#if DECODE_FOR_SPEED
  ds->bitsInWindow = 0;
  refillBits();
#else
  // Sixteen zero bits, read away: the window then holds the stream's
  // first 16 bits.
  ds->bitsInWindow = 16;
  readBits(16);
#endif
}
