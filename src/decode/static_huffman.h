// Block-structured static Huffman decoding (-lh4- to -lh7-), and the
// canonical table builder and code tables that -lh1- and -lh3- share.
#pragma once
#include "bit_input.h"

enum {
  LITERAL_LENGTH_SYMBOLS = 510,
  SYMBOL_TABLE_BITS = 12,
  AUX_TABLE_BITS = 8,
  AUX_LENGTHS = 128,
  TREE_NODES = 1019,
  MAX_CODE_LENGTH = 16,
};

extern unsigned char symbolLengths[LITERAL_LENGTH_SYMBOLS];
extern uint16_t symbolTable[1 << SYMBOL_TABLE_BITS];
extern unsigned char auxLengths[AUX_LENGTHS];
extern uint16_t auxTable[1 << AUX_TABLE_BITS];
extern uint16_t treeLeft[TREE_NODES];
extern uint16_t treeRight[TREE_NODES];
extern uint16_t blockRemaining;
extern int32_t distanceSymbols;
extern int32_t distanceCountBits;

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
static inline unsigned walkTree(unsigned node, unsigned bits, unsigned symbolCount) {
  for (int step = 0; node >= symbolCount; ++step) {
    if (step == MAX_CODE_LENGTH) return 0;
    node = (bits & 0x8000) ? treeRight[node] : treeLeft[node];
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
  const bool aux = tableBits == AUX_TABLE_BITS;
  const unsigned char* lengths = aux ? auxLengths : symbolLengths;
  const uint16_t* table = aux ? auxTable : symbolTable;
  unsigned j = table[peekBits16() >> (16 - tableBits)];
  if (j < symbolCount) {
    dropBits(lengths[j]);
    return j;
  }
  dropBits(tableBits);
  j = walkTree(j, peekBits16(), symbolCount);
  dropBits((unsigned char)(lengths[j] - tableBits));
  return j;
}
#else
unsigned decodeWithTable(unsigned symbolCount, unsigned tableBits);
#endif

void startStatic();
unsigned readSymbolStatic();
unsigned readDistanceStatic();
