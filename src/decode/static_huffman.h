// Block-structured static Huffman decoding (-lh4- to -lh7-), and the
// canonical table builder and code tables that -lh1- and -lh3- share. The
// tables (symbolLengths, symbolTable, auxLengths, auxTable, treeLeft,
// treeRight) and blockRemaining, distanceSymbols, distanceCountBits live in
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
    node = (bits & 0x8000) ? ds->treeRight[node] : ds->treeLeft[node];
    bits <<= 1;
  }
  return node;
}

// Decodes the next symbol (below symbolCount) of the literal/length code
// (tableBits 12: symbolTable, symbolLengths) or of the small code (8:
// auxTable, auxLengths): one table lookup, the overflow tree for codes
// longer than the table bits.
#if DECODE_FOR_SPEED || defined(STATIC_HUFFMAN_OWNER)
DECODE_HOT unsigned decodeWithTable(unsigned symbolCount, unsigned tableBits) {
  const DecodeState* const ds = decodeBase();
  const bool aux = tableBits == AUX_TABLE_BITS;
  const unsigned char* lengths = aux ? ds->auxLengths : ds->symbolLengths;
  const uint16_t* table = aux ? ds->auxTable : ds->symbolTable;
  unsigned j = table[peekBits16(ds) >> (16 - tableBits)];
  if (j < symbolCount) {
    dropBits(lengths[j]);
    return j;
  }
  dropBits(tableBits);
  j = walkTree(ds, j, peekBits16(ds), symbolCount);
  dropBits((unsigned char)(lengths[j] - tableBits));
  return j;
}
#else
unsigned decodeWithTable(unsigned symbolCount, unsigned tableBits);
#endif

void startStatic();
unsigned readSymbolStatic();
unsigned readDistanceStatic();
