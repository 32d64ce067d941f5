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
          ds->treeChildren[avail][0] = ds->treeChildren[avail][1] = 0;
          *p = (uint16_t)avail++;
        }
        p = &ds->treeChildren[*p][bits >> 15 & 1];
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
    // The 3 bits, then the 1 bits and their closing 0 bit.
    dropBits(3);
    if (length >= 7) dropBits(length - 6);
    // Only a damaged stream sends more than 16 bits; such a code counts as
    // 16 bits long, so that no code is longer than the bit reader's reach.
    ds->auxLengths[i++] = (unsigned char)(length > MAX_CODE_LENGTH ? (unsigned)MAX_CODE_LENGTH : length);
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
void startStatic(DecodeState* ds) {
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

unsigned readSymbolStatic(DecodeState* ds) {
  if (ds->blockRemaining == 0) readBlockHeader();
  --ds->blockRemaining;
  return decodeWithTable(LITERAL_LENGTH_SYMBOLS, SYMBOL_TABLE_BITS);
}

// Distance symbol 0 is distance 0; symbol j above it a distance from
// 2^(j-1) to 2^j - 1, its low j - 1 bits sent plainly.
unsigned readDistanceStatic(DecodeState* ds) {
  unsigned j = decodeWithTable((unsigned)ds->distanceSymbols, AUX_TABLE_BITS);
  if (j != 0) j = (1u << (j - 1)) + readBits(j - 1);
  return j;
}

// The per-symbol loop of the static methods with the bit reader and the
// output position in registers. It stops before anything the driver must
// see: the block's end (a new header), a full lap of the ring (a write),
// fewer than 8 buffered bytes (a refill, or the member's end; a symbol
// takes at most 47 bits) and stopCount (progress, or the member's size). Codes found in the first-level tables are
// taken here; longer ones through lookupCode. The symbols are decoded
// exactly as the driver decodes them one by one.
void decodeStaticRun(uint32_t stopCount) {
  // The state is loaded and stored through the base register; inside the
  // loop the tables are addressed directly, so that every register is left
  // for the loop's own values.
  DecodeState* const ds = decodeBase();
  DecodeState& tables = decodeState;
  BitWord window = ds->input.bitWindow;
  unsigned bits = ds->input.bitsInWindow;
  const unsigned char* next = ds->input.inputNext;
  const unsigned char* const inputLimit = ds->input.inputEnd - 8;
  const uint32_t ringSize = ds->ringSize;
  unsigned char* const lap = ds->dictionary + ringSize;
  unsigned char* out = lap + ds->ringPos;
  unsigned char* const start = out;
  // A symbol may start before the lap's end and before stopCount.
  const uint32_t toStop = stopCount - ds->decodedCount;
  unsigned char* const outLimit = toStop < (uint32_t)(lap + ringSize - out) ? out + toStop : lap + ringSize;
  // Tops the window up to at least 16 bits: two bytes at once (the speed
  // build: six), right below the valid bits.
  auto fill = [&]() __attribute__((always_inline)) {
    if (bits >= 16) return;
#if DECODE_FOR_SPEED
    uint64_t bytes;
    memcpy(&bytes, next, 8);
    window |= (__builtin_bswap64(bytes) >> 16) << (16 - bits);
    next += 6;
    bits += 48;
#else
    window |= (BitWord)(next[0] << 8 | next[1]) << (16 - bits);
    next += 2;
    bits += 16;
#endif
  };
  auto drop = [&](unsigned n) __attribute__((always_inline)) {
    window <<= n;
    bits -= n;
  };
  while (tables.blockRemaining && out < outLimit && next <= inputLimit) {
    fill();
    unsigned symbol = tables.symbolTable[window >> (BIT_WORD_BITS - SYMBOL_TABLE_BITS)];
    --tables.blockRemaining;
    if (symbol < LITERAL_LENGTH_SYMBOLS) {
      drop(tables.symbolLengths[symbol]);
    } else {
      const unsigned found = lookupCode((unsigned)(window >> (BIT_WORD_BITS - 16)), LITERAL_LENGTH_SYMBOLS, SYMBOL_TABLE_BITS);
      drop(found >> 16);
      symbol = found & 0xFFFF;
    }
    if (symbol <= 255) {
      *out++ = (unsigned char)symbol;
      continue;
    }
    fill();
    const unsigned found = lookupCode((unsigned)(window >> (BIT_WORD_BITS - 16)), (unsigned)tables.distanceSymbols, AUX_TABLE_BITS);
    drop(found >> 16);
    unsigned distance = found & 0xFFFF;
    if (distance != 0) {
      fill();
      const unsigned extra = (unsigned)(window >> 1 >> (BIT_WORD_BITS - distance));
      drop(distance - 1);
      distance = (1u << (distance - 1)) + extra;
    }
    out = copyForward(out, out - (distance & (ringSize - 1)) - 1, symbol - 253);
  }
  // The base register is taken anew, so that the loop has it for itself.
  DecodeState* const after = decodeBase();
  after->input.bitWindow = window;
  after->input.bitsInWindow = bits;
  after->input.inputNext = next;
  after->ringPos = (uint32_t)(out - lap);
  after->decodedCount += (uint32_t)(out - start);
  // The driver takes at least 16 valid bits for granted.
  if (bits < 16) refillBits();
}
