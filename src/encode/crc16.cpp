#include "crc16.h"

namespace {

// Eight tables: the CRC of a byte followed by 0 to 7 zero bytes, so that the
// data is folded eight bytes a step (the input is read at the speed of the
// rest of the encoder, not a byte at a time).
struct Crc16Tables {
  uint16_t entry[8][256];
  Crc16Tables() {
    for (unsigned byte = 0; byte < 256; ++byte) {
      unsigned crc = byte;
      for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (crc & 1 ? 0xA001 : 0);
      entry[0][byte] = (uint16_t)crc;
    }
    for (unsigned byte = 0; byte < 256; ++byte)
      for (int k = 1; k < 8; ++k)
        entry[k][byte] = (uint16_t)((entry[k - 1][byte] >> 8) ^ entry[0][entry[k - 1][byte] & 0xFF]);
  }
};

const Crc16Tables kTables;

}  // namespace

uint16_t Crc16Update(uint16_t crc, const unsigned char* bytes, size_t count) {
  const auto& t = kTables.entry;
  for (; count >= 8; count -= 8, bytes += 8) {
    const unsigned low = (crc ^ bytes[0]) & 0xFF, high = ((crc >> 8) ^ bytes[1]) & 0xFF;
    crc = (uint16_t)(t[7][low] ^ t[6][high] ^ t[5][bytes[2]] ^ t[4][bytes[3]] ^ t[3][bytes[4]] ^ t[2][bytes[5]] ^
                     t[1][bytes[6]] ^ t[0][bytes[7]]);
  }
  for (; count; --count) crc = (uint16_t)((crc >> 8) ^ t[0][(crc ^ *bytes++) & 0xFF]);
  return crc;
}
