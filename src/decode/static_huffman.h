// Block-structured static Huffman decoding (-lh4- to -lh7-), and the
// canonical table builder and code tables that -lh1- and -lh3- share. The
// tables (symbolLengths, symbolTable, auxLengths, auxTable, treeChildren)
// and blockRemaining, distanceSymbols, distanceCountBits live in
// decodeState.
#pragma once
#include "bit_input.h"

// Builds the first-level table of 2^tableBits entries for the canonical
// code of n symbols whose lengths are given, and the overflow tree for
// longer codes. The table bits choose the pair of arrays: 12 for
// symbolLengths and symbolTable, 8 for auxLengths and auxTable. Entries
// that no code reaches get `fill`: 0 normally; a code sent as a single
// value has all lengths 0 and that value in every entry, so that every
// lookup yields it without consuming bits. Damaged length sets never write
// outside the tables.
void buildDecodeTable(unsigned n, unsigned tableBits, unsigned fill = 0);

// Follows the overflow tree from node `node` with the code bits in `bits`
// (next bit at bit 15) until a value below `symbolCount` is reached. A
// damaged code that leads nowhere within 16 bits yields symbol 0.
static inline unsigned walkTree(const DecodeState* ds, unsigned node, unsigned bits, unsigned symbolCount) {
  for (int step = 0; node >= symbolCount; ++step) {
    if (step == MAX_CODE_LENGTH) return 0;
    node = ds->treeChildren[node][(bits & 0x8000) != 0];
    bits <<= 1;
  }
  return node;
}

// The symbol (below symbolCount) whose code begins the 16 bits `code`, in
// the low half of the result, and the code's length in the high half: of
// the literal/length code (tableBits 12: symbolTable, symbolLengths) or of
// the small code (8: auxTable, auxLengths). One table lookup; the overflow
// tree for codes longer than the table bits.
#if DECODE_FOR_SPEED || defined(STATIC_HUFFMAN_OWNER)
DECODE_HOT unsigned lookupCode(unsigned code, unsigned symbolCount, unsigned tableBits) {
  const DecodeState* const ds = decodeBase();
  const bool aux = tableBits == AUX_TABLE_BITS;
  const unsigned char* lengths = aux ? ds->auxLengths : ds->symbolLengths;
  const uint16_t* table = aux ? ds->auxTable : ds->symbolTable;
  unsigned j = table[code >> (16 - tableBits)];
  if (j < symbolCount) return j | lengths[j] << 16;
  j = walkTree(ds, j, code << tableBits, symbolCount);
  // A damaged tree may end on a symbol no longer than the table's bits.
  return j | (lengths[j] > tableBits ? lengths[j] : tableBits) << 16;
}

// The same, taking the code from decodeState.input.
DECODE_HOT unsigned decodeWithTable(unsigned symbolCount, unsigned tableBits) {
  unsigned found = lookupCode(peekBits16(), symbolCount, tableBits);
  dropBits(found >> 16);
  return found & 0xFFFF;
}
#else
unsigned lookupCode(unsigned code, unsigned symbolCount, unsigned tableBits);
unsigned decodeWithTable(unsigned symbolCount, unsigned tableBits);
#endif

void startStatic(DecodeState* ds);
unsigned readSymbolStatic(DecodeState* ds);
unsigned readDistanceStatic(DecodeState* ds);
// Decodes as many symbols of the current block as it can into the ring
// without the driver, up to `stopCount` bytes of output.
void decodeStaticRun(uint32_t stopCount);
