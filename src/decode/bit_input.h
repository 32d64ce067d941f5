// Lowest layer of the decoders: the CRC-16 of written bytes, the in-memory
// copy of a member's compressed bytes, and the MSB-first bit reader.
// Process-wide state, used by the worker thread for one member at a time.
#pragma once
#include "../platform.h"

// CRC-16/ARC (reflected polynomial 0xA001, start 0, no final XOR).
extern uint16_t crc16Table[256];
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
// Next byte of the input buffer, refilled whole from `stream` when used up.
unsigned char nextInputByte(FILE* stream);
// Next byte of the member's compressed data; 0 once all of it has been read.
unsigned char nextCompressedByte();

// The bit reader keeps a machine word of look-ahead: bitWindow holds the
// unread bits left-aligned, its top 16 bits being the next 16 bits of the
// stream, and at least 16 of its bits are valid after every operation. Past
// the member's compressed size it is fed zero bits.
typedef uintptr_t BitWord;
enum { BIT_WORD_BITS = sizeof(BitWord) * 8 };
extern BitWord bitWindow;
extern unsigned bitsInWindow;

void startBits();
void refillBits();

// The next 16 bits of the stream, not consumed.
inline unsigned peekBits16() {
  return (unsigned)(bitWindow >> (BIT_WORD_BITS - 16));
}

// Discards the next n bits.
inline void dropBits(unsigned char n) {
  while (n > 16) {
    bitWindow <<= 16;
    bitsInWindow -= 16;
    refillBits();
    n -= 16;
  }
  bitWindow <<= n;
  bitsInWindow -= n;
  if (bitsInWindow < 16) refillBits();
}

// Reads n bits (0 to 16) as an unsigned value.
inline unsigned readBits(unsigned char n) {
  unsigned value = n ? peekBits16() >> (16 - n) : 0;
  dropBits(n);
  return value;
}
