#include "lh3.h"
#include "adaptive_huffman.h"
#include "static_huffman.h"

enum {
  LH3_SYMBOLS = 286,        // literals, match lengths 3..31, escape
  LH3_ESCAPE = 285,         // followed by 8 bits: lengths 32..287
  LH3_DISTANCE_SYMBOLS = 128,
  LH3_BUILT_IN_DISTANCES = 1,  // row of fixedLengthRows
};

void startLh3(DecodeState* ds) {
  startBits();
  ds->fixedDistanceSymbols = LH3_DISTANCE_SYMBOLS;
  ds->lh3BlockRemaining = 0;
}

// Reads the lengths of the literal/length code (tableBits 12: 286 lengths,
// each a presence bit and then 4 bits holding the length - 1) or of the
// distance code (tableBits 8: 128 lengths of 4 bits, 0 for none). Entries
// 0, 1 and 2 all of length 1 announce a code of a single value instead,
// sent in 9 or 10 bits. A single distance value of 128 or more lies outside
// the alphabet; only its low 7 bits are used.
static void readLh3Lengths(unsigned tableBits) {
  DecodeState* const ds = decodeBase();
  const bool aux = tableBits == AUX_TABLE_BITS;
  unsigned char* lengths = aux ? ds->auxLengths : ds->symbolLengths;
  const unsigned count = aux ? LH3_DISTANCE_SYMBOLS : LH3_SYMBOLS;
  unsigned single = 0;
  for (unsigned i = 0; i < count; ++i) {
    // (count is above 3, so the test always comes.)
    if (i == 3 && lengths[0] == 1 && lengths[1] == 1 && lengths[2] == 1) {
      single = readBits(aux ? 10 : 9);
      if (aux) single &= LH3_DISTANCE_SYMBOLS - 1;
      memset(lengths, 0, count);
      break;
    }
    lengths[i] = (unsigned char)(aux ? readBits(4) : readBits(1) ? readBits(4) + 1 : 0);
  }
  buildDecodeTable(count, tableBits, single);
}

// A block header: the symbol count, the literal/length code, then a flag
// bit: the distance code's lengths follow, or the built-in distance code
// holds.
static DECODE_COLD void readLh3BlockHeader() {
  decodeBase()->lh3BlockRemaining = (uint16_t)readBits(16);
  readLh3Lengths(SYMBOL_TABLE_BITS);
  if (readBits(1)) readLh3Lengths(AUX_TABLE_BITS);
  else fixedDistanceLengths(LH3_BUILT_IN_DISTANCES);
}

unsigned readSymbolLh3(DecodeState* ds) {
  if (ds->lh3BlockRemaining == 0) readLh3BlockHeader();
  --ds->lh3BlockRemaining;
  unsigned j = decodeWithTable(LH3_SYMBOLS, SYMBOL_TABLE_BITS);
  if (j == LH3_ESCAPE) j += readBits(8);
  return j;
}
