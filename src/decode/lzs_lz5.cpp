#include "lzs_lz5.h"
#include "bit_input.h"
#include "driver.h"

void startLzs(DecodeState* ds) { startBits(); }

// A flag bit, then an 8-bit literal (1) or an 11-bit ring position and a
// 4-bit length - 2 (0): an item is at most 16 bits, all looked at at once.
unsigned readSymbolLzs(DecodeState* ds) {
  const unsigned item = peekBits16(ds);
  if (item & 0x8000) {
    dropBits(9);
    return (item >> 7) & 0xFF;
  }
  dropBits(16);
  ds->matchOrigin = (item >> 4) & 0x7FF;
  return (item & 0xF) + 256;
}

unsigned readDistanceLzs(DecodeState* ds) {
  return (ds->ringPos - ds->matchOrigin - 18) & 0x7FF;
}

// The dictionary starts as: 18 zero bytes; 13 copies of each byte value
// 0..255 in turn; the values 0..255 rising; the values 255..0 falling; 128
// zero bytes; and the driver's spaces in the last 110 bytes.
void startLz5(DecodeState* ds) {
  ds->flagBitsLeft = 0;
  unsigned char* const d = ds->dictionary;
  memset(d, 0, 3986);
  unsigned char* p = d + 18;
  for (unsigned v = 0; v < 256; ++v) {
    for (unsigned k = 0; k < 13; ++k) *p++ = (unsigned char)v;
    d[3346 + v] = d[3857 - v] = (unsigned char)v;
  }
}

// A flag byte announces eight items; a literal is one byte, a match two:
// the low 8 bits of the 12-bit position, then its high 4 bits and the
// length - 3. The bytes come from the member's compressed data, and are 0
// past its end.
unsigned readSymbolLz5(DecodeState* ds) {
  if (ds->flagBitsLeft == 0) {
    ds->flagBitsLeft = 8;
    ds->flagByte = nextCompressedByte();
  }
  --ds->flagBitsLeft;
  unsigned result = nextCompressedByte();
  if (!(ds->flagByte & 1)) {
    unsigned second = nextCompressedByte();
    ds->matchOrigin = result + ((second & 0xF0) << 4);
    result = (second & 0x0F) + 256;
  }
  ds->flagByte >>= 1;
  return result;
}

unsigned readDistanceLz5(DecodeState* ds) {
  return (ds->ringPos - ds->matchOrigin - 19) & 0xFFF;
}
