// The decoders' process-wide state, gathered in one record: the bit input
// and CRC, the driver's dictionary ring, the static Huffman code tables, the
// adaptive trees and the small state of -lh3-, -lzs- and -lz5-. Only the
// worker thread uses it, for one member at a time.
//
// The size build reaches the record through a base pointer held in a
// register (decodeBase), so that a scalar field costs a one-byte offset
// instead of a four-byte address with its relocation; the speed build
// addresses every field directly.
#pragma once
#include "../platform.h"
#include "decode_build.h"

enum {
  // CRC-16: the byte table and the tables of a byte followed by 1 to 3
  // zero bytes, to fold four bytes a step.
  CRC_SLICES = 4,
  // Static Huffman code tables.
  LITERAL_LENGTH_SYMBOLS = 510,
  SYMBOL_TABLE_BITS = 12,
  AUX_TABLE_BITS = 8,
  AUX_LENGTHS = 128,
  TREE_NODES = 1019,
  MAX_CODE_LENGTH = 16,
  // Adaptive trees.
  ADAPTIVE_NODES = 884,
  ADAPTIVE_LEAVES = 442,
  DISTANCE_ROOT = 628,       // node of the distance tree's root
  DISTANCE_LEAF_BASE = 314,  // leaf symbol of distance symbol 0
  // The longest match of any method (-lh2- and -lh3-: 287 bytes).
  LONGEST_MATCH = 288,
};

// The bit reader's window: a 64-bit word in the speed build, 32 bits in the
// size build.
#if DECODE_FOR_SPEED
typedef uint64_t BitWord;
#else
typedef uint32_t BitWord;
#endif
enum { BIT_WORD_BITS = sizeof(BitWord) * 8 };

// The bit reader: window holds the unread bits left-aligned, bitsInWindow
// of them valid; the member's compressed bytes from inputNext to inputEnd
// are fetched into the input buffer but not yet taken. A record of its own,
// so that a per-symbol loop can keep a copy of it in registers.
struct BitReader {
  BitWord bitWindow;
  unsigned bitsInWindow;
  const unsigned char* inputNext;
  const unsigned char* inputEnd;
};

// One node of the adaptive trees. nodeChild holds the index k of the
// node's child pair (nodes k and k - 1) or, for a leaf, the complement of
// its symbol; nodes of one group are a run of equal weight.
struct AdaptiveNode {
  uint32_t nodeWeight;
  int32_t nodeChild;
  int32_t nodeParent;
  int32_t nodeGroup;
};

// Why a member failed: a write did not reach the disk whole, or its data is
// cut short (the archive ended inside the member's bytes, or its decoder
// took more than PAST_END_BITS beyond them).
enum { MEMBER_WRITE_FAILED = 1, MEMBER_CUT_SHORT = 2 };

// The bits a decoder may take beyond a member's data before the member
// fails. A sound stream ends within its data (every member of the test
// corpora and of the project's encoder does); two bytes, the reach of one
// code lookup, spare a stream whose encoder left its last bits out.
enum { PAST_END_BITS = 16 };

struct DecodeState {
  // Scalars first: in the size build they all lie within a one-byte offset
  // of the record's start, as does the start of auxLengths.

  // Bit input (bit_input.h): the reader, the buffer holding the member's
  // compressed bytes, and the count of those not yet fetched into it.
  BitReader input;
  unsigned char* inputBuffer;
  uint32_t inputBufferSize;
  uint32_t compressedLeft;
  uint32_t bytesPastEnd;  // zero bytes fed since the member's compressed bytes ran out
  uint16_t memberCrc;  // CRC-16 of the bytes written for the member
  uint8_t memberFailed;  // 0, MEMBER_WRITE_FAILED or MEMBER_CUT_SHORT

  // Block counters of the static Huffman methods and of -lh3-: symbols left
  // in the current block.
  uint16_t blockRemaining;
  uint16_t lh3BlockRemaining;

  // Adaptive Huffman (adaptive_huffman.h).
  uint16_t maxMatch;
  uint16_t distanceTotal;

  // The member being decoded and the driver (driver.h): the output, the
  // sizes, the window that holds the ring of 2^dictionaryBits bytes
  // (dictionary; ringPos counts the bytes of the ring's current lap).
  FILE* archiveStream;
  FILE* outputStream;
  uint32_t uncompressedSize;
  uint32_t dictionaryBits;
  unsigned char* dictionary;
  uint32_t ringPos;
  uint32_t decodedCount;
  uint32_t ringSize;

  // Static Huffman (static_huffman.h).
  int32_t distanceSymbols;
  int32_t distanceCountBits;

  // Adaptive Huffman and the fixed distance code (adaptive_huffman.h).
  int32_t freeGroupTop;
  int32_t symbolCount;
  int32_t escapeSymbol;
  int32_t lastDistanceNode;
  int32_t distanceLimit;
  uint32_t nextGrowth;
  int32_t fixedDistanceSymbols;

  // -lzs- and -lz5- (lzs_lz5.h).
  uint32_t matchOrigin;   // ring position field of the match just read
  uint32_t flagByte;      // -lz5-: bit 0 describes the next item (1 literal)
  uint32_t flagBitsLeft;  // -lz5-: items left before the next flag byte

  // Code tables (static_huffman.h), shared by the static methods, -lh3-
  // and the fixed distance code.
  unsigned char auxLengths[AUX_LENGTHS];
  unsigned char symbolLengths[LITERAL_LENGTH_SYMBOLS];
  uint16_t auxTable[1 << AUX_TABLE_BITS];
  uint16_t symbolTable[1 << SYMBOL_TABLE_BITS];
  uint16_t treeChildren[TREE_NODES][2];  // per node: the child for bit 0, for bit 1

  // Adaptive trees (adaptive_huffman.h).
  AdaptiveNode adaptiveNodes[ADAPTIVE_NODES];
  int32_t groupLeader[ADAPTIVE_NODES];  // per group id: its lowest node
  int32_t freeGroups[ADAPTIVE_NODES];   // stack of unused group ids
  int32_t leafNode[ADAPTIVE_LEAVES];    // per leaf symbol: its node

  // Per byte value: its CRC, then the CRCs of it followed by one, two and
  // three zero bytes (the four values side by side, so that one index and a
  // short offset reach each).
  uint16_t crc16Table[256][CRC_SLICES];
};

extern DecodeState decodeState;

// The record, through a pointer the size build keeps in a register: hiding
// the address from the optimiser keeps it from folding it back into every
// access. (A function that touches a field or two names decodeState
// directly, as do the few whose code comes out shorter so.)
inline DecodeState* decodeBase() {
  DecodeState* state = &decodeState;
#if !DECODE_FOR_SPEED
  asm("" : "+r"(state));
#endif
  return state;
}

// The CRC under its own name, for the stored copy and the extraction.
inline constexpr uint16_t& memberCrc = decodeState.memberCrc;

// Copies `length` bytes (at least one) forward one at a time, so that a
// source overlapping the bytes being written repeats them; returns the end
// of what was written. In the stub it is the processor's string move, which
// is defined to do exactly that and takes two bytes (a loop the compiler
// writes for size moves one byte per instruction, several times slower).
DECODE_INLINE unsigned char* copyForward(unsigned char* out, const unsigned char* in, uint32_t length) {
#if defined(_WIN32) && !DECODE_FOR_SPEED
  asm volatile("rep movsb" : "+D"(out), "+S"(in), "+c"(length) : : "memory");
#else
  do *out++ = *in++;
  while (--length);
#endif
  return out;
}

