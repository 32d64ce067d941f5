#include "driver.h"
#include "adaptive_huffman.h"
#include "bit_input.h"
#include "lh3.h"
#include "lzs_lz5.h"
#include "static_huffman.h"
#include "../archive/progress.h"
#include "../ui/continue_flag.h"

__attribute__((aligned(1))) const char methodIds[4 * METHOD_COUNT + 2] = "-lh0-lh1-lh2-lh3-lh4-lh5-lh6-lh7-lzs-lz5-lz4-lhd-";

int methodIndex(const char* id) {
  for (int i = 0; i < METHOD_COUNT; ++i)
    if (memcmp(id, methodIds + 4 * i, 5) == 0) return i;
  return -1;
}

// 12 for -lh1-, -lh4- and -lz5-; 15 for -lh6-; 16 for -lh7-; 11 for -lzs-;
// 13 for every other index.
static const unsigned char dictionaryBitsByIndex[METHOD_COUNT] = {13, 12, 13, 13, 12, 13, 15, 16, 11, 12, 13, 13};

uint32_t methodDictionaryBits(int index) { return dictionaryBitsByIndex[index]; }

// User alignment keeps the optimiser from padding the table to 32 bytes.
__attribute__((aligned(4))) const MethodDecoder methodDecoders[9] = {
    {readSymbolAdaptive, readDistanceFixed, startLh1},
    {readSymbolAdaptive, readDistanceAdaptive, startLh2},
    {readSymbolLh3, readDistanceFixed, startLh3},
    {readSymbolStatic, readDistanceStatic, startStatic},
    {readSymbolStatic, readDistanceStatic, startStatic},
    {readSymbolStatic, readDistanceStatic, startStatic},
    {readSymbolStatic, readDistanceStatic, startStatic},
    {readSymbolLzs, readDistanceLzs, startLzs},
    {readSymbolLz5, readDistanceLz5, startLz5},
};

unsigned char* dictionary;
uint32_t ringPos;
uint32_t decodedCount;
uint32_t uncompressedSize;
uint32_t dictionaryBits;
FILE* outputStream;
static uint32_t ringSize;  // dictionarySize of the member being decoded

// Puts one byte into the ring; a full ring is written out whole.
static DECODE_HOT void putByte(unsigned byte) {
  uint32_t pos = ringPos;
  dictionary[pos++] = (unsigned char)byte;
  if (pos == ringSize) {
    writeAndCrc(dictionary, pos, outputStream);
    pos = 0;
  }
  ringPos = pos;
}

// Copies a match through the ring, byte by byte in increasing order: a
// distance shorter than the length repeats the bytes just written. The
// speed build moves whole blocks where neither side wraps or reaches the
// ring's end, with the same result.
static void copyMatch(uint32_t distance, uint32_t length) {
  const uint32_t mask = ringSize - 1;
  uint32_t from = (ringPos - distance - 1) & mask;
#if DECODE_FOR_SPEED
  if (ringPos + length < ringSize && from + length <= ringSize) {
    unsigned char* out = dictionary + ringPos;
    const unsigned char* in = dictionary + from;
    uint32_t behind = ringPos - from;  // how far the source trails, when it does
    ringPos += length;
    if (from > ringPos - length || behind >= length) {
      // No byte is read after it has been written: a plain move.
      if (length <= 16) {
        uint64_t head, tail;
        if (length >= 8) {
          memcpy(&head, in, 8);
          memcpy(&tail, in + length - 8, 8);
          memcpy(out, &head, 8);
          memcpy(out + length - 8, &tail, 8);
          return;
        }
        uint32_t head4, tail4;
        if (length >= 4) {
          memcpy(&head4, in, 4);
          memcpy(&tail4, in + length - 4, 4);
          memcpy(out, &head4, 4);
          memcpy(out + length - 4, &tail4, 4);
          return;
        }
      }
      memmove(out, in, length);
      return;
    }
    if (behind == 1) {
      memset(out, *in, length);
      return;
    }
    if (behind >= 8) {
      // Eight bytes a step, each step reading only bytes already written;
      // the last step ends exactly at the match's end.
      uint32_t k = 0;
      for (; k + 8 <= length; k += 8) memcpy(out + k, in + k, 8);
      if (k < length) memcpy(out + length - 8, in + length - 8, 8);
      return;
    }
    for (uint32_t k = 0; k < length; ++k) out[k] = in[k];
    return;
  }
#endif
  for (uint32_t k = 0; k < length; ++k) putByte(dictionary[(from + k) & mask]);
}

// The extraction hands only methods 1 to 9 to the driver; it keeps stored
// members, folders and unknown methods away.
int decodeMember(LzhDecoder* decoder) {
  archiveStream = decoder->archiveStream;
  outputStream = decoder->outputStream;
  dictionaryBits = decoder->dictionaryBits;
  uncompressedSize = decoder->uncompressedSize;
  compressedLeft = decoder->compressedSize;
  memberCrc = 0;
  const int32_t index = decoder->methodIndex;
  decoder->operations = methodDecoders[index - 1];

  ringSize = decoder->dictionarySize = 1u << dictionaryBits;
  dictionary = (unsigned char*)malloc(ringSize);
  if (!dictionary) return DECODE_FAILED;
  memset(dictionary, ' ', ringSize);
  int result = DECODE_FAILED;
  if (fillInputBuffer(decoder->compressedSize)) {
    decoder->operations.startMember();
    const uint32_t matchBias = index == METHOD_LZS ? 254 : 253;
    decodedCount = 0;
    ringPos = 0;
    // The speed build looks at the progress only where the bar could move.
    uint32_t progressCheck = 0;
    for (;;) {
      if (decodedCount >= uncompressedSize) {
        if (ringPos) writeAndCrc(dictionary, ringPos, outputStream);
        result = DECODE_DONE;
        break;
      }
      unsigned symbol = decoder->operations.readSymbol();
      if (symbol <= 255) {
        putByte(symbol);
        ++decodedCount;
      } else {
        uint32_t length = symbol - matchBias;
        uint32_t distance = decoder->operations.readDistance();
        decodedCount += length;
        copyMatch(distance, length);
      }
      if (!DECODE_FOR_SPEED || decodedCount >= progressCheck) {
        UpdateProgress(decodedCount);
        if (DECODE_FOR_SPEED) progressCheck = NextProgressChange(decodedCount);
      }
      if (!continueFlag) {
        result = DECODE_ABORTED;  // bytes since the last full ring stay unwritten
        break;
      }
    }
  }
  free(dictionary);
  releaseInputBuffer();
  return result;
}
