#include "driver.h"
#include "bit_input.h"
#include "static_huffman.h"
#include "../archive/progress.h"
#include "../ui/continue_flag.h"

const char methodIds[METHOD_COUNT][5] = {
    {'-', 'l', 'h', '0', '-'}, {'-', 'l', 'h', '1', '-'}, {'-', 'l', 'h', '2', '-'},
    {'-', 'l', 'h', '3', '-'}, {'-', 'l', 'h', '4', '-'}, {'-', 'l', 'h', '5', '-'},
    {'-', 'l', 'h', '6', '-'}, {'-', 'l', 'h', '7', '-'}, {'-', 'l', 'z', 's', '-'},
    {'-', 'l', 'z', '5', '-'}, {'-', 'l', 'z', '4', '-'}, {'-', 'l', 'h', 'd', '-'}};

int methodIndex(const char* id) {
  for (int i = 0; i < METHOD_COUNT; ++i)
    if (memcmp(id, methodIds[i], 5) == 0) return i;
  return -1;
}

uint32_t methodDictionaryBits(int index) {
  switch (index) {
    case METHOD_LH1: case METHOD_LH4: case METHOD_LZ5: return 12;
    case METHOD_LH6: return 15;
    case METHOD_LH7: return 16;
    case METHOD_LZS: return 11;
    default: return 13;
  }
}

const MethodDecoder methodDecoders[10] = {
    {0, 0, 0},
    {0, 0, 0},
    {0, 0, 0},
    {0, 0, 0},
    {readSymbolStatic, readDistanceStatic, startStatic},
    {readSymbolStatic, readDistanceStatic, startStatic},
    {readSymbolStatic, readDistanceStatic, startStatic},
    {readSymbolStatic, readDistanceStatic, startStatic},
    {0, 0, 0},
    {0, 0, 0},
};

unsigned char* dictionary;
uint32_t ringPos;
uint32_t decodedCount;
uint32_t uncompressedSize;
uint16_t dictionaryBits;
FILE* outputStream;

static void releaseMemberBuffers() {
  free(dictionary);
  dictionary = 0;
  releaseInputBuffer();
}

// Copies a match through the ring. Where source and destination neither
// overlap nor wrap, one block move gives the same bytes as the byte loop;
// a distance shorter than the length repeats the bytes just written.
static void copyMatch(uint32_t distance, uint32_t length, uint32_t dictionarySize) {
  uint32_t mask = dictionarySize - 1;
  uint32_t from = (ringPos - distance - 1) & mask;
  uint32_t behind = (ringPos - from) & mask;  // how far the source trails in the ring
  if (behind >= length && from + length <= dictionarySize && ringPos + length < dictionarySize) {
    memmove(dictionary + ringPos, dictionary + from, length);
    ringPos += length;
    return;
  }
  for (uint32_t k = 0; k < length; ++k) {
    dictionary[ringPos++] = dictionary[(from + k) & mask];
    if (ringPos == dictionarySize) {
      writeAndCrc(dictionary, dictionarySize, outputStream);
      ringPos = 0;
    }
  }
}

int decodeMember(LzhDecoder* decoder) {
  archiveStream = decoder->archiveStream;
  outputStream = decoder->outputStream;
  dictionaryBits = (uint16_t)decoder->dictionaryBits;
  uncompressedSize = decoder->uncompressedSize;
  compressedLeft = decoder->compressedSize;
  memberCrc = 0;
  int32_t index = decoder->methodIndex;
  if (index < 1 || index > 9 || !methodDecoders[index].startMember) return DECODE_FAILED;
  decoder->readSymbol = methodDecoders[index].readSymbol;
  decoder->readDistance = methodDecoders[index].readDistance;
  decoder->startMember = methodDecoders[index].startMember;

  uint32_t dictionarySize = decoder->dictionarySize = 1u << dictionaryBits;
  dictionary = (unsigned char*)malloc(dictionarySize);
  if (!dictionary) return DECODE_FAILED;
  memset(dictionary, ' ', dictionarySize);
  if (!fillInputBuffer(decoder->compressedSize)) {
    releaseMemberBuffers();
    return DECODE_FAILED;
  }
  decoder->startMember();
  const uint32_t matchBias = index == METHOD_LZS ? 254 : 253;
  decodedCount = 0;
  ringPos = 0;
  // Progress is looked at only where the bar could move.
  uint32_t progressCheck = 0;
  while (decodedCount < uncompressedSize) {
    unsigned symbol = decoder->readSymbol();
    if (symbol <= 255) {
      dictionary[ringPos++] = (unsigned char)symbol;
      if (ringPos == dictionarySize) {
        writeAndCrc(dictionary, dictionarySize, outputStream);
        ringPos = 0;
      }
      ++decodedCount;
    } else {
      uint32_t length = symbol - matchBias;
      uint32_t distance = decoder->readDistance();
      decodedCount += length;
      copyMatch(distance, length, dictionarySize);
    }
    if (decodedCount >= progressCheck) {
      UpdateProgress(decodedCount);
      progressCheck = NextProgressChange(decodedCount);
    }
    if (!continueFlag) {
      releaseMemberBuffers();
      return DECODE_ABORTED;
    }
  }
  if (ringPos) writeAndCrc(dictionary, ringPos, outputStream);
  releaseMemberBuffers();
  return DECODE_DONE;
}
