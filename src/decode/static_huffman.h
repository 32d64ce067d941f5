// Block-structured static Huffman decoding (-lh4- to -lh7-), and the
// canonical table builder and code tables that -lh1- and -lh3- share.
#pragma once
#include "../platform.h"

enum {
  LITERAL_LENGTH_SYMBOLS = 510,
  SYMBOL_TABLE_BITS = 12,
  AUX_TABLE_BITS = 8,
  AUX_LENGTHS = 128,
  TREE_NODES = 1019,
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
// code given by `lengths` (n symbols), and the overflow tree for longer
// codes. Damaged length sets never write outside the tables.
void buildDecodeTable(int n, const unsigned char* lengths, int tableBits, uint16_t* table);

// Follows the overflow tree from node `node` with the code bits in `bits`
// (next bit at bit 15) until a value below `symbolCount` is reached. A
// damaged code that leads nowhere within 16 bits yields symbol 0.
unsigned walkTree(unsigned node, unsigned bits, unsigned symbolCount);

void startStatic();
unsigned readSymbolStatic();
unsigned readDistanceStatic();
