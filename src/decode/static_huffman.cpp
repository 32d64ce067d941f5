#include "static_huffman.h"
#include "bit_input.h"
#include "driver.h"

unsigned char symbolLengths[LITERAL_LENGTH_SYMBOLS];
uint16_t symbolTable[1 << SYMBOL_TABLE_BITS];
unsigned char auxLengths[AUX_LENGTHS];
uint16_t auxTable[1 << AUX_TABLE_BITS];
uint16_t treeLeft[TREE_NODES];
uint16_t treeRight[TREE_NODES];
uint16_t blockRemaining;
int32_t distanceSymbols;
int32_t distanceCountBits;

enum { MAX_CODE_LENGTH = 16, CODE_LENGTH_SYMBOLS = 19 };

void buildDecodeTable(int n, const unsigned char* lengths, int tableBits, uint16_t* table) {
  uint16_t count[MAX_CODE_LENGTH + 1] = {0};
  uint16_t start[MAX_CODE_LENGTH + 2];
  uint16_t weight[MAX_CODE_LENGTH + 1];
  for (int i = 0; i < n; ++i)
    if (lengths[i] <= MAX_CODE_LENGTH) ++count[lengths[i]];
  uint16_t total = 0;
  for (int i = 1; i <= MAX_CODE_LENGTH; ++i) {
    weight[i] = (uint16_t)(1u << (MAX_CODE_LENGTH - i));
    start[i] = total;
    total = (uint16_t)(total + weight[i] * count[i]);
  }
  const int shift = MAX_CODE_LENGTH - tableBits;
  for (int i = 1; i <= tableBits; ++i) {
    start[i] >>= shift;
    weight[i] >>= shift;
  }
  const uint32_t tableSize = 1u << tableBits;
  // Entries that no code reaches stay 0; a tree position that is 0 has no
  // node yet.
  memset(table, 0, tableSize * sizeof *table);
  uint32_t avail = (uint32_t)n;
  for (int symbol = 0; symbol < n; ++symbol) {
    unsigned length = lengths[symbol];
    if (length == 0 || length > MAX_CODE_LENGTH) continue;
    uint32_t end = (uint32_t)start[length] + weight[length];
    if ((int)length <= tableBits) {
      for (uint32_t i = start[length]; i < end && i < tableSize; ++i) table[i] = (uint16_t)symbol;
    } else {
      uint16_t* p = &table[start[length] >> shift];
      unsigned bits = (unsigned)start[length] << tableBits;
      for (int i = (int)length - tableBits; i > 0; --i) {
        if (*p == 0) {
          if (avail >= TREE_NODES) return;  // more nodes than any sound code needs
          treeLeft[avail] = treeRight[avail] = 0;
          *p = (uint16_t)avail++;
        }
        p = (bits & 0x8000) ? &treeRight[*p] : &treeLeft[*p];
        bits <<= 1;
      }
      *p = (uint16_t)symbol;
    }
    start[length] = (uint16_t)end;
  }
}

unsigned walkTree(unsigned node, unsigned bits, unsigned symbolCount) {
  for (int step = 0; node >= symbolCount; ++step) {
    if (step == MAX_CODE_LENGTH) return 0;
    node = (bits & 0x8000) ? treeRight[node] : treeLeft[node];
    bits <<= 1;
  }
  return node;
}

// Reads the lengths of a small code (the code-length code or the distance
// code). After entry `special`, a 2-bit count of zero lengths follows.
static void readAuxLengths(int nn, int nbit, int special) {
  int count = (int)readBits((unsigned char)nbit);
  if (count == 0) {
    unsigned value = readBits((unsigned char)nbit);
    memset(auxLengths, 0, (size_t)nn);
    for (int i = 0; i < (1 << AUX_TABLE_BITS); ++i) auxTable[i] = (uint16_t)value;
    return;
  }
  int i = 0;
  while (i < count) {
    unsigned length = peekBits16() >> 13;
    if (length == 7) {
      for (unsigned mask = 1u << 12; peekBits16() & mask; mask >>= 1) ++length;
    }
    dropBits((unsigned char)(length < 7 ? 3 : length - 3));
    auxLengths[i++] = (unsigned char)length;  // count < 32 keeps i inside the array
    if (i == special) {
      for (unsigned zeros = readBits(2); zeros > 0; --zeros) auxLengths[i++] = 0;
    }
  }
  while (i < nn) auxLengths[i++] = 0;
  buildDecodeTable(nn, auxLengths, AUX_TABLE_BITS, auxTable);
}

static void setSymbolLength(int i, unsigned char length) {
  if (i < LITERAL_LENGTH_SYMBOLS) symbolLengths[i] = length;  // overlong counts are damage
}

static void readSymbolLengths() {
  int count = (int)readBits(9);
  if (count == 0) {
    unsigned value = readBits(9);
    memset(symbolLengths, 0, sizeof symbolLengths);
    for (int i = 0; i < (1 << SYMBOL_TABLE_BITS); ++i) symbolTable[i] = (uint16_t)value;
    return;
  }
  int i = 0;
  while (i < count) {
    unsigned x = auxTable[peekBits16() >> 8];
    if (x >= CODE_LENGTH_SYMBOLS) x = walkTree(x, peekBits16() << 8, CODE_LENGTH_SYMBOLS);
    dropBits(auxLengths[x]);
    if (x <= 2) {
      int run = x == 0 ? 1 : x == 1 ? (int)readBits(4) + 3 : (int)readBits(9) + 20;
      for (; run > 0; --run) setSymbolLength(i++, 0);
    } else {
      setSymbolLength(i++, (unsigned char)(x - 2));
    }
  }
  for (; i < LITERAL_LENGTH_SYMBOLS; ++i) symbolLengths[i] = 0;
  buildDecodeTable(LITERAL_LENGTH_SYMBOLS, symbolLengths, SYMBOL_TABLE_BITS, symbolTable);
}

void startStatic() {
  if (dictionaryBits <= 14) {
    distanceSymbols = 14;
    distanceCountBits = 4;
  } else {
    distanceCountBits = 5;
    distanceSymbols = dictionaryBits == 16 ? 17 : 16;
  }
  startBits();
  blockRemaining = 0;
}

unsigned readSymbolStatic() {
  if (blockRemaining == 0) {
    blockRemaining = (uint16_t)readBits(16);
    readAuxLengths(CODE_LENGTH_SYMBOLS, 5, 3);
    readSymbolLengths();
    readAuxLengths(distanceSymbols, distanceCountBits, -1);
  }
  --blockRemaining;
  unsigned j = symbolTable[peekBits16() >> (16 - SYMBOL_TABLE_BITS)];
  if (j < LITERAL_LENGTH_SYMBOLS) {
    dropBits(symbolLengths[j]);
  } else {
    dropBits(SYMBOL_TABLE_BITS);
    j = walkTree(j, peekBits16(), LITERAL_LENGTH_SYMBOLS);
    dropBits((unsigned char)(symbolLengths[j] - SYMBOL_TABLE_BITS));
  }
  return j;
}

unsigned readDistanceStatic() {
  unsigned j = auxTable[peekBits16() >> (16 - AUX_TABLE_BITS)];
  if (j < (unsigned)distanceSymbols) {
    dropBits(auxLengths[j]);
  } else {
    dropBits(AUX_TABLE_BITS);
    j = walkTree(j, peekBits16(), (unsigned)distanceSymbols);
    dropBits((unsigned char)(auxLengths[j] - AUX_TABLE_BITS));
  }
  if (j != 0) j = (1u << (j - 1)) + readBits((unsigned char)(j - 1));
  return j;
}
