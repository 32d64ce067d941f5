#define STATIC_HUFFMAN_OWNER
#include "static_huffman.h"
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

enum { CODE_LENGTH_SYMBOLS = 19 };

// Canonical codes: within each length, codes go to the symbols in
// increasing order, shorter lengths first. Codes are handled left-aligned
// in 16 bits, and wrap there as the format's own tables do. Lengths above
// 16 (only damaged streams give them) stay out of the code; table entries
// that no code reaches get `fill`; the tree never grows past its nodes.
void buildDecodeTable(unsigned n, unsigned tableBits, unsigned fill) {
  const bool aux = tableBits == AUX_TABLE_BITS;
  const unsigned char* lengths = aux ? auxLengths : symbolLengths;
  uint16_t* table = aux ? auxTable : symbolTable;
  const unsigned shift = MAX_CODE_LENGTH - tableBits;
  for (unsigned i = 0; i < 1u << tableBits; ++i) table[i] = (uint16_t)fill;
  unsigned avail = n, code = 0;
  for (unsigned length = 1; length <= MAX_CODE_LENGTH; ++length) {
    for (unsigned s = 0; s < n; ++s) {
      if (lengths[s] != length) continue;
      unsigned next = code + (0x10000u >> length);
      if (length <= tableBits) {
        for (unsigned i = code >> shift; i < next >> shift && i < 1u << tableBits; ++i) table[i] = (uint16_t)s;
      } else {
        uint16_t* p = &table[code >> shift];
        unsigned bits = code << tableBits;
        for (unsigned i = length - tableBits; i; --i) {
          if (*p == 0) {
            if (avail >= TREE_NODES) return;
            treeLeft[avail] = treeRight[avail] = 0;
            *p = (uint16_t)avail++;
          }
          p = ((bits & 0x8000) ? treeRight : treeLeft) + *p;
          bits <<= 1;
        }
        *p = (uint16_t)s;
      }
      code = next & 0xFFFF;
    }
  }
}

// Reads the lengths of a small code (the code-length code or the distance
// code): 3 bits, or 7 and a run of 1 bits ended by a 0 bit for the longer
// ones. After entry `special`, a 2-bit count of zero lengths follows.
// A count of 0 sends the code as a single value.
static void readAuxLengths(unsigned nn, unsigned nbit, unsigned special) {
  unsigned count = readBits(nbit), single = 0;
  memset(auxLengths, 0, sizeof auxLengths);
  if (count == 0) single = readBits(nbit);
  unsigned i = 0;
  while (i < count) {  // count < 32 keeps i inside the array
    unsigned length = peekBits16() >> 13;
    if (length == 7)
      for (unsigned mask = 1u << 12; peekBits16() & mask; mask >>= 1) ++length;
    dropBits(length < 7 ? 3 : length - 3);
    auxLengths[i++] = (unsigned char)length;
    if (i == special) i += readBits(2);
  }
  buildDecodeTable(nn, AUX_TABLE_BITS, single);
}

// Reads the literal/length code lengths through the code-length code:
// symbols 0, 1 and 2 are runs of 1, 3 to 18 and 20 to 531 zero lengths,
// symbol x above 2 is the length x - 2. A count of 0 sends the code as a
// single value.
static void readSymbolLengths() {
  unsigned count = readBits(9), single = 0;
  memset(symbolLengths, 0, sizeof symbolLengths);
  if (count == 0) single = readBits(9);
  unsigned i = 0;
  while (i < count) {
    unsigned x = decodeWithTable(CODE_LENGTH_SYMBOLS, AUX_TABLE_BITS);
    if (x > 2) {
      if (i < LITERAL_LENGTH_SYMBOLS) symbolLengths[i] = (unsigned char)(x - 2);  // overlong counts are damage
      ++i;
    } else {
      i += x == 0 ? 1 : x == 1 ? readBits(4) + 3 : readBits(9) + 20;
    }
  }
  buildDecodeTable(LITERAL_LENGTH_SYMBOLS, SYMBOL_TABLE_BITS, single);
}

// -lh4- and -lh5- use 14 distance symbols and a 4-bit count, -lh6- 16 and
// -lh7- 17 with a 5-bit count.
void startStatic() {
  const bool large = dictionaryBits > 14;
  distanceSymbols = large ? dictionaryBits + 1 : 14;
  distanceCountBits = 4 + large;
  startBits();
  blockRemaining = 0;
}

// A block header: the symbol count and the three codes.
static DECODE_COLD void readBlockHeader() {
  blockRemaining = (uint16_t)readBits(16);
  readAuxLengths(CODE_LENGTH_SYMBOLS, 5, 3);
  readSymbolLengths();
  readAuxLengths((unsigned)distanceSymbols, (unsigned)distanceCountBits, 0);
}

unsigned readSymbolStatic() {
  if (blockRemaining == 0) readBlockHeader();
  --blockRemaining;
  return decodeWithTable(LITERAL_LENGTH_SYMBOLS, SYMBOL_TABLE_BITS);
}

// Distance symbol 0 is distance 0; symbol j above it a distance from
// 2^(j-1) to 2^j - 1, its low j - 1 bits sent plainly.
unsigned readDistanceStatic() {
  unsigned j = decodeWithTable((unsigned)distanceSymbols, AUX_TABLE_BITS);
  if (j != 0) j = (1u << (j - 1)) + readBits(j - 1);
  return j;
}
