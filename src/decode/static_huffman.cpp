#define STATIC_HUFFMAN_OWNER
#include "static_huffman.h"
#include "driver.h"

enum { CODE_LENGTH_SYMBOLS = 19 };

// Canonical codes: within each length, codes go to the symbols in
// increasing order, shorter lengths first. Codes are handled left-aligned
// in 16 bits, and wrap there as the format's own tables do; a code is
// always a multiple of its own step, so that a code of up to tableBits
// bits fills its 2^(tableBits - length) entries inside the table. Lengths
// above 16 (only damaged streams give them) stay out of the code; table
// entries that no code reaches get `fill`; the tree never grows past its
// nodes.
void buildDecodeTable(unsigned n, unsigned tableBits, unsigned fill) {
  DecodeState* const ds = &decodeState;  // shorter here than through a base register
  const bool aux = tableBits == AUX_TABLE_BITS;
  const unsigned char* lengths = aux ? ds->auxLengths : ds->symbolLengths;
  uint16_t* table = aux ? ds->auxTable : ds->symbolTable;
  for (unsigned i = 0; i < 1u << tableBits; ++i) table[i] = (uint16_t)fill;
  unsigned avail = n, code = 0;
  for (unsigned length = 1; length <= MAX_CODE_LENGTH; ++length) {
    for (unsigned s = 0; s < n; ++s) {
      if (lengths[s] != length) continue;
      // The code's first tableBits bits choose the entry; a longer code
      // goes on through the tree, one node for each further bit.
      uint16_t* p = &table[code >> (MAX_CODE_LENGTH - tableBits)];
      unsigned bits = code << tableBits;
      unsigned entries = 1;
      if (length <= tableBits) entries <<= tableBits - length;
      for (unsigned i = length; i > tableBits; --i) {
        if (*p == 0) {
          if (avail >= TREE_NODES) return;
          ds->treeLeft[avail] = ds->treeRight[avail] = 0;
          *p = (uint16_t)avail++;
        }
        p = ((bits & 0x8000) ? ds->treeRight : ds->treeLeft) + *p;
        bits <<= 1;
      }
      for (; entries; --entries) *p++ = (uint16_t)s;
      code = (code + (0x10000u >> length)) & 0xFFFF;
    }
  }
}

// Reads the lengths of a small code (the code-length code or the distance
// code): 3 bits, or 7 and a run of 1 bits ended by a 0 bit for the longer
// ones. After entry `special`, a 2-bit count of zero lengths follows.
// A count of 0 sends the code as a single value.
static void readAuxLengths(unsigned nn, unsigned nbit, unsigned special) {
  DecodeState* const ds = decodeBase();
  unsigned count = readBits(nbit), single = 0;
  memset(ds->auxLengths, 0, sizeof ds->auxLengths);
  if (count == 0) single = readBits(nbit);
  unsigned i = 0;
  while (i < count) {  // count < 32 keeps i inside the array
    unsigned length = peekBits16(ds) >> 13;
    if (length == 7)
      for (unsigned mask = 1u << 12; peekBits16(ds) & mask; mask >>= 1) ++length;
    dropBits(length < 7 ? 3 : length - 3);
    ds->auxLengths[i++] = (unsigned char)length;
    if (i == special) i += readBits(2);
  }
  buildDecodeTable(nn, AUX_TABLE_BITS, single);
}

// Reads the literal/length code lengths through the code-length code:
// symbols 0, 1 and 2 are runs of 1, 3 to 18 and 20 to 531 zero lengths,
// symbol x above 2 is the length x - 2. A count of 0 sends the code as a
// single value.
static void readSymbolLengths() {
  DecodeState* const ds = decodeBase();
  unsigned count = readBits(9), single = 0;
  memset(ds->symbolLengths, 0, sizeof ds->symbolLengths);
  if (count == 0) single = readBits(9);
  unsigned i = 0;
  while (i < count) {
    unsigned x = decodeWithTable(CODE_LENGTH_SYMBOLS, AUX_TABLE_BITS);
    if (x > 2) {
      if (i < LITERAL_LENGTH_SYMBOLS) ds->symbolLengths[i] = (unsigned char)(x - 2);  // overlong counts are damage
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
  DecodeState* const ds = decodeBase();
  const bool large = ds->dictionaryBits > 14;
  ds->distanceSymbols = large ? ds->dictionaryBits + 1 : 14;
  ds->distanceCountBits = 4 + large;
  startBits();
  ds->blockRemaining = 0;
}

// A block header: the symbol count and the three codes.
static DECODE_COLD void readBlockHeader() {
  DecodeState* const ds = decodeBase();
  ds->blockRemaining = (uint16_t)readBits(16);
  readAuxLengths(CODE_LENGTH_SYMBOLS, 5, 3);
  readSymbolLengths();
  readAuxLengths((unsigned)ds->distanceSymbols, (unsigned)ds->distanceCountBits, 0);
}

unsigned readSymbolStatic() {
  DecodeState* const ds = decodeBase();
  if (ds->blockRemaining == 0) readBlockHeader();
  --ds->blockRemaining;
  return decodeWithTable(LITERAL_LENGTH_SYMBOLS, SYMBOL_TABLE_BITS);
}

// Distance symbol 0 is distance 0; symbol j above it a distance from
// 2^(j-1) to 2^j - 1, its low j - 1 bits sent plainly.
unsigned readDistanceStatic() {
  unsigned j = decodeWithTable((unsigned)decodeState.distanceSymbols, AUX_TABLE_BITS);
  if (j != 0) j = (1u << (j - 1)) + readBits(j - 1);
  return j;
}
