#include "bit_input.h"

uint16_t crc16Table[256];
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
}

void addToCrc(const unsigned char* bytes, uint32_t count) {
  unsigned crc = memberCrc;
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
  if (size > 0x7FFFFFFF) size = 0x7FFFFFFF;
  // One byte more than asked, so that an empty member still has a buffer.
  inputBuffer = (unsigned char*)malloc(size + 1u);
  if (!inputBuffer) {
    size = FALLBACK_INPUT_BUFFER_SIZE;
    inputBuffer = (unsigned char*)malloc(size);
    if (!inputBuffer) return false;
  }
  inputBufferSize = size;
  inputBufferPos = 0;
  if (size) fread(inputBuffer, 1, size, archiveStream);
  return true;
}

void releaseInputBuffer() {
  free(inputBuffer);
  inputBuffer = 0;
  inputBufferSize = inputBufferPos = 0;
}

unsigned char nextInputByte(FILE* stream) {
  if (inputBufferSize == 0) return 0;
  if (inputBufferPos == inputBufferSize) {
    fread(inputBuffer, 1, inputBufferSize, stream);
    inputBufferPos = 0;
  }
  return inputBuffer[inputBufferPos++];
}

unsigned char nextCompressedByte() {
  if (compressedLeft == 0) return 0;
  --compressedLeft;
  if (inputBufferPos < inputBufferSize) return inputBuffer[inputBufferPos++];
  return nextInputByte(archiveStream);
}

void refillBits() {
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
