// Lowest layer of the decoders: the CRC-16 of written bytes, the in-memory
// copy of a member's compressed bytes, and the MSB-first bit reader. Their
// state (bitWindow, memberCrc, inputBuffer, ...) lives in decodeState.
#pragma once
#include "decode_state.h"

// CRC-16/ARC (reflected polynomial 0xA001, start 0, no final XOR) of the
// bytes, folded into memberCrc; crc16Table is the byte table.
void buildCrc16Table();
void addToCrc(const unsigned char* bytes, uint32_t count);
void writeAndCrc(const unsigned char* bytes, uint32_t count, FILE* stream);

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
  DecodeState* const ds = decodeBase();
  if (ds->compressedLeft == 0) return 0;
  --ds->compressedLeft;
  if (DECODE_FOR_SPEED && ds->inputBufferPos < ds->inputBufferSize) return ds->inputBuffer[ds->inputBufferPos++];
  return nextInputByte(ds->archiveStream);
}
#else
unsigned nextCompressedByte();
#endif

// The bit reader keeps a machine word of look-ahead: bitWindow holds the
// unread bits left-aligned, its top 16 bits being the next 16 bits of the
// stream, and at least 16 of its bits are valid after every operation (the
// bits below the valid ones are 0 or already the stream's next bits). Past
// the member's compressed size it is fed zero bits.
void startBits();

// The next 16 bits of the stream, not consumed.
inline unsigned peekBits16(const DecodeState* ds = &decodeState) {
  return (unsigned)(ds->bitWindow >> (BIT_WORD_BITS - 16));
}

// readBits reads n bits (0 to 16) as an unsigned value. dropBits discards
// the next n bits (n up to 255; only damaged codes ask for more than 16).
// The speed build drops up to 16 bits at once; the size build takes the
// bits one by one, and drops them by reading them.
#if DECODE_FOR_SPEED
void refillBits();

DECODE_HOT void dropBits(unsigned n) {
  DecodeState* const ds = decodeBase();
  if (n <= 16) {
    ds->bitWindow <<= n;
    ds->bitsInWindow -= n;
    if (ds->bitsInWindow < 16) refillBits();
    return;
  }
  for (; n; --n) {
    ds->bitWindow <<= 1;
    if (--ds->bitsInWindow < 16) refillBits();
  }
}

DECODE_HOT unsigned readBits(unsigned n) {
  unsigned value = (unsigned)(decodeState.bitWindow >> 1 >> (BIT_WORD_BITS - 1 - n));
  dropBits(n);
  return value;
}
#else
unsigned readBits(unsigned n);
inline void dropBits(unsigned n) { readBits(n); }
#endif
