// Lowest layer of the decoders: the CRC-16 of written bytes, the in-memory
// copy of a member's compressed bytes, and the MSB-first bit reader. Their
// state (input, memberCrc, inputBuffer, ...) lives in decodeState.
#pragma once
#include "decode_state.h"

// CRC-16/ARC (reflected polynomial 0xA001, start 0, no final XOR) of the
// bytes, folded into memberCrc; crc16Table holds the byte table first.
void buildCrc16Table();
void addToCrc(const unsigned char* bytes, uint32_t count);
// addToCrc, then one write of the bytes; a write that fails sets
// memberFailed (the CRC then no longer describes the file).
void writeAndCrc(const unsigned char* bytes, uint32_t count, FILE* stream);

// Sets up the input buffer for a member of `compressedSize` bytes standing
// at the archive stream's position: as large as the member when free memory
// allows, 16 KiB when nothing larger can be had. False when not even that
// could be allocated.
bool fillInputBuffer(uint32_t compressedSize);
void releaseInputBuffer();
// Refills the input buffer from the archive (the member's bytes only) and
// takes its first byte; 0 once the member's bytes are used up, so that
// past its end a member reads as zeros. An archive that ends before the
// member's bytes do sets memberFailed.
unsigned refillInput();

// Next byte of the member's compressed data; 0 once all of it has been read.
#if DECODE_FOR_SPEED || defined(BIT_INPUT_OWNER)
DECODE_HOT unsigned nextCompressedByte() {
  BitReader& in = decodeBase()->input;
  if (in.inputNext != in.inputEnd) return *in.inputNext++;
  return refillInput();
}
#else
unsigned nextCompressedByte();
#endif

// The bit reader (decodeState.input) keeps a machine word of look-ahead:
// the top 16 bits of bitWindow are the next 16 bits of the stream, and at
// least 16 of its bits are valid after every operation (the bits below the
// valid ones are 0 or already the stream's next bits). Past the member's
// compressed size it is fed zero bits. Every read and drop is of at most 16
// bits.
void startBits();
// Fetches bytes until fewer than 8 bits of the window are free.
void refillBits();

// The next 16 bits of the stream, not consumed.
inline unsigned peekBits16(const DecodeState* ds = &decodeState) {
  return (unsigned)(ds->input.bitWindow >> (BIT_WORD_BITS - 16));
}

#if DECODE_FOR_SPEED || defined(BIT_INPUT_OWNER)
DECODE_HOT void dropBits(unsigned n) {
  BitReader& in = decodeBase()->input;
  in.bitWindow <<= n;
  in.bitsInWindow -= n;
  if (in.bitsInWindow < 16) refillBits();
}

DECODE_HOT unsigned readBits(unsigned n) {
  unsigned value = (unsigned)(decodeState.input.bitWindow >> 1 >> (BIT_WORD_BITS - 1 - n));
  dropBits(n);
  return value;
}
#else
void dropBits(unsigned n);
unsigned readBits(unsigned n);
#endif

// A copy of the bit reader in registers, for a per-symbol loop that knows
// at least 8 bytes lie in the buffer ahead of it: drops only shift, and
// fill() tops the window up to at least 16 bits at the points where a code
// may start. On leaving the loop the copy goes back into decodeState.input,
// whose rules it keeps.
struct RunBits {
  BitReader in;
  DECODE_INLINE unsigned peek16() const { return (unsigned)(in.bitWindow >> (BIT_WORD_BITS - 16)); }
  DECODE_INLINE void drop(unsigned n) {
    in.bitWindow <<= n;
    in.bitsInWindow -= n;
  }
  DECODE_INLINE unsigned read(unsigned n) {
    unsigned value = (unsigned)(in.bitWindow >> 1 >> (BIT_WORD_BITS - 1 - n));
    drop(n);
    return value;
  }
  // Two bytes at once (the speed build: six), placed right below the
  // valid bits.
  DECODE_INLINE void fill() {
    if (in.bitsInWindow >= 16) return;
#if DECODE_FOR_SPEED
    uint64_t bytes;
    memcpy(&bytes, in.inputNext, 8);
    in.bitWindow |= (__builtin_bswap64(bytes) >> 16) << (16 - in.bitsInWindow);
    in.inputNext += 6;
    in.bitsInWindow += 48;
#else
    in.bitWindow |= (BitWord)(in.inputNext[0] << 8 | in.inputNext[1]) << (16 - in.bitsInWindow);
    in.inputNext += 2;
    in.bitsInWindow += 16;
#endif
  }
};
