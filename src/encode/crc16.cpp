#include "crc16.h"

namespace {

// Four tables: the CRC of a byte followed by 0 to 3 zero bytes, so that the
// data is folded four bytes a step.
struct Crc16Tables {
  uint16_t entry[4][256];
  Crc16Tables() {
    for (unsigned byte = 0; byte < 256; ++byte) {
      unsigned crc = byte;
      for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (crc & 1 ? 0xA001 : 0);
      entry[0][byte] = (uint16_t)crc;
    }
    for (unsigned byte = 0; byte < 256; ++byte)
      for (int k = 1; k < 4; ++k)
        entry[k][byte] = (uint16_t)((entry[k - 1][byte] >> 8) ^ entry[0][entry[k - 1][byte] & 0xFF]);
  }
};

const Crc16Tables kTables;

}  // namespace

uint16_t Crc16Update(uint16_t crc, const unsigned char* bytes, size_t count) {
  const auto& t = kTables.entry;
  for (; count >= 4; count -= 4, bytes += 4) {
    unsigned low = (crc ^ bytes[0]) & 0xFF, high = ((crc >> 8) ^ bytes[1]) & 0xFF;
    crc = (uint16_t)(t[3][low] ^ t[2][high] ^ t[1][bytes[2]] ^ t[0][bytes[3]]);
  }
  for (; count; --count) crc = (uint16_t)((crc >> 8) ^ t[0][(crc ^ *bytes++) & 0xFF]);
  return crc;
}
