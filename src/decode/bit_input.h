// Lowest layer of the decoders: the CRC-16 of written bytes, the in-memory
// copy of a member's compressed bytes, and the MSB-first bit reader.
// Process-wide state, used by the worker thread for one member at a time.
#pragma once
#include "../platform.h"
#include "decode_build.h"

// CRC-16/ARC (reflected polynomial 0xA001, start 0, no final XOR).
// crc16Table is the byte table; the speed build appends the tables of a
// byte followed by 1 to 7 zero bytes, to fold eight bytes a step.
enum { CRC_SLICES = DECODE_FOR_SPEED ? 8 : 1 };
extern uint16_t crc16Table[CRC_SLICES * 256];
extern uint16_t memberCrc;
void buildCrc16Table();
void addToCrc(const unsigned char* bytes, uint32_t count);
void writeAndCrc(const unsigned char* bytes, uint32_t count, FILE* stream);

extern unsigned char* inputBuffer;
extern uint32_t inputBufferSize;
extern uint32_t inputBufferPos;
extern FILE* archiveStream;
extern uint32_t compressedLeft;  // compressed bytes of the member not yet fetched

// Reads the member's compressed bytes into memory (all of them when free
// memory allows). False when not even a small buffer could be had.
bool fillInputBuffer(uint32_t compressedSize);
void releaseInputBuffer();
// Next byte of the input buffer, refilled whole from `stream` when used up;
// 0 for a member without compressed bytes (an empty buffer is never read).
unsigned nextInputByte(FILE* stream);

// Next byte of the member's compressed data; 0 once all of it has been read.
#if DECODE_FOR_SPEED || defined(BIT_INPUT_OWNER)
DECODE_HOT unsigned nextCompressedByte() {
  if (compressedLeft == 0) return 0;
  --compressedLeft;
  if (DECODE_FOR_SPEED && inputBufferPos < inputBufferSize) return inputBuffer[inputBufferPos++];
  return nextInputByte(archiveStream);
}
#else
unsigned nextCompressedByte();
#endif

// The bit reader keeps a machine word of look-ahead: bitWindow holds the
// unread bits left-aligned, its top 16 bits being the next 16 bits of the
// stream, and at least 16 of its bits are valid after every operation (the
// bits below the valid ones are 0 or already the stream's next bits). Past
// the member's compressed size it is fed zero bits.
#if DECODE_FOR_SPEED
typedef uint64_t BitWord;
#else
typedef uint32_t BitWord;
#endif
enum { BIT_WORD_BITS = sizeof(BitWord) * 8 };
extern BitWord bitWindow;
extern unsigned bitsInWindow;

void startBits();
void refillBits();

// The next 16 bits of the stream, not consumed.
inline unsigned peekBits16() { return (unsigned)(bitWindow >> (BIT_WORD_BITS - 16)); }

// Discards the next n bits (n up to 255; only damaged codes ask for more
// than 16). The speed build drops up to 16 bits at once, the size build
// one bit a step.
// readBits reads n bits (0 to 16) as an unsigned value.
#if DECODE_FOR_SPEED || defined(BIT_INPUT_OWNER)
DECODE_HOT void dropBits(unsigned n) {
  if (DECODE_FOR_SPEED && n <= 16) {
    bitWindow <<= n;
    bitsInWindow -= n;
    if (bitsInWindow < 16) refillBits();
    return;
  }
  for (; n; --n) {
    bitWindow <<= 1;
    if (--bitsInWindow < 16) refillBits();
  }
}

DECODE_HOT unsigned readBits(unsigned n) {
  unsigned value = (unsigned)(bitWindow >> 1 >> (BIT_WORD_BITS - 1 - n));
  dropBits(n);
  return value;
}
#else
void dropBits(unsigned n);
unsigned readBits(unsigned n);
#endif
