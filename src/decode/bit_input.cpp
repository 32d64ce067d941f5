#define BIT_INPUT_OWNER
#include "bit_input.h"

uint16_t crc16Table[CRC_SLICES * 256];
uint16_t memberCrc;
unsigned char* inputBuffer;
uint32_t inputBufferSize;
uint32_t inputBufferPos;
FILE* archiveStream;
uint32_t compressedLeft;
BitWord bitWindow;
unsigned bitsInWindow;

void buildCrc16Table() {
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i;
    for (int round = 0; round < 8; ++round) r = (r & 1) ? (r >> 1) ^ 0xA001 : r >> 1;
    crc16Table[i] = (uint16_t)r;
  }
  // Slice k: the CRC of a byte followed by k zero bytes.
  for (unsigned i = 256; i < CRC_SLICES * 256; ++i) {
    unsigned r = crc16Table[i - 256];
    crc16Table[i] = (uint16_t)((r >> 8) ^ crc16Table[r & 0xFF]);
  }
}

void addToCrc(const unsigned char* bytes, uint32_t count) {
  unsigned crc = memberCrc;
#if DECODE_FOR_SPEED
  const uint16_t* t = crc16Table;
  for (; count >= 8; count -= 8, bytes += 8) {
    crc ^= bytes[0] | bytes[1] << 8;
    crc = t[7 * 256 + (crc & 0xFF)] ^ t[6 * 256 + (crc >> 8)] ^ t[5 * 256 + bytes[2]] ^
          t[4 * 256 + bytes[3]] ^ t[3 * 256 + bytes[4]] ^ t[2 * 256 + bytes[5]] ^ t[256 + bytes[6]] ^
          t[bytes[7]];
  }
#endif
  for (uint32_t i = 0; i < count; ++i) crc = crc16Table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  memberCrc = (uint16_t)crc;
}

void writeAndCrc(const unsigned char* bytes, uint32_t count, FILE* stream) {
  addToCrc(bytes, count);
  fwrite(bytes, 1, count, stream);
}

enum { FALLBACK_INPUT_BUFFER_SIZE = 16384 };

bool fillInputBuffer(uint32_t compressedSize) {
  MEMORYSTATUS memory;
  memset(&memory, 0, sizeof memory);
  GlobalMemoryStatus(&memory);
  uint32_t size = compressedSize;
  if (memory.dwAvailPhys != 0 && compressedSize > memory.dwAvailPhys) size = (uint32_t)memory.dwAvailPhys;
  // An even size is asked one byte larger, so that an empty member still
  // has a buffer (and no size wraps to 0).
  while (!(inputBuffer = (unsigned char*)malloc(size | 1))) {
    if (size == FALLBACK_INPUT_BUFFER_SIZE) return false;
    size = FALLBACK_INPUT_BUFFER_SIZE;
  }
  inputBufferSize = size;
  inputBufferPos = 0;
  fread(inputBuffer, 1, size, archiveStream);
  return true;
}

void releaseInputBuffer() { free(inputBuffer); }

unsigned nextInputByte(FILE* stream) {
  if (inputBufferPos == inputBufferSize) {
    if (inputBufferSize == 0) return 0;
    fread(inputBuffer, 1, inputBufferSize, stream);
    inputBufferPos = 0;
  }
  return inputBuffer[inputBufferPos++];
}

void refillBits() {
#if DECODE_FOR_SPEED
  // Eight bytes at once while they lie inside the member and the buffer.
  // The bits of a partly taken byte are ORed in as well; they are the
  // stream's next bits, so taking the byte again later changes nothing.
  if (compressedLeft >= 8 && inputBufferSize - inputBufferPos >= 8) {
    uint64_t bytes;
    memcpy(&bytes, inputBuffer + inputBufferPos, 8);
    bitWindow |= __builtin_bswap64(bytes) >> bitsInWindow;
    unsigned taken = (BIT_WORD_BITS - bitsInWindow) >> 3;
    inputBufferPos += taken;
    compressedLeft -= taken;
    bitsInWindow += taken * 8;
    return;
  }
#endif
  while (bitsInWindow <= BIT_WORD_BITS - 8) {
    bitWindow |= (BitWord)nextCompressedByte() << (BIT_WORD_BITS - 8 - bitsInWindow);
    bitsInWindow += 8;
  }
}

void startBits() {
  bitWindow = 0;
  bitsInWindow = 0;
  refillBits();
}
