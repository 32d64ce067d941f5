#include "driver.h"
#include <stddef.h>
#include "adaptive_huffman.h"
#include "bit_input.h"
#include "lh3.h"
#include "lzs_lz5.h"
#include "static_huffman.h"
#include "../archive/progress.h"

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
__attribute__((aligned(4))) const MethodDecoder methodDecoders[6] = {
    {readSymbolAdaptive, readDistanceFixed, startLh1},
    {readSymbolAdaptive, readDistanceAdaptive, startLh2},
    {readSymbolLh3, readDistanceFixed, startLh3},
    {readSymbolStatic, readDistanceStatic, startStatic},
    {readSymbolLzs, readDistanceLzs, startLzs},
    {readSymbolLz5, readDistanceLz5, startLz5},
};
// Rows of method indexes 1..9 (0, 10 and 11 never reach the driver).
__attribute__((aligned(1))) const unsigned char methodDecoderRows[METHOD_COUNT] = {0, 0, 1, 2, 3, 3, 3, 3, 4, 5, 0, 0};

// Puts one byte into the ring and counts it; a full ring is written out
// whole.
static DECODE_HOT void putByte(unsigned byte) {
  DecodeState* const ds = decodeBase();
  uint32_t pos = ds->ringPos;
  ds->dictionary[pos++] = (unsigned char)byte;
  ++ds->decodedCount;
  if (pos == ds->ringSize) {
    writeAndCrc(ds->dictionary, pos, ds->outputStream);
    pos = 0;
  }
  ds->ringPos = pos;
}

// Copies a match through the ring and counts it, byte by byte in
// increasing order: a distance shorter than the length repeats the bytes
// just written. The speed build moves whole blocks where neither side
// wraps or reaches the ring's end, with the same result.
static void copyMatch(uint32_t distance, uint32_t length) {
  DecodeState* const ds = decodeBase();
#if DECODE_FOR_SPEED
  const uint32_t ringPos = ds->ringPos;
  const uint32_t from = (ringPos - distance - 1) & (ds->ringSize - 1);
  if (ringPos + length < ds->ringSize && from + length <= ds->ringSize) {
    unsigned char* out = ds->dictionary + ringPos;
    const unsigned char* in = ds->dictionary + from;
    uint32_t behind = ringPos - from;  // how far the source trails, when it does
    ds->ringPos = ringPos + length;
    ds->decodedCount += length;
    if (from > ringPos || behind >= length) {
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
  // The source moves on with the ring position, so each byte comes from
  // distance + 1 bytes behind the one being written.
  for (; length; --length) putByte(ds->dictionary[(ds->ringPos - distance - 1) & (ds->ringSize - 1)]);
}

// The fields decodeMember copies from the record into decodeState, in the
// same order and layout in both.
struct MemberCopy {
  FILE* archiveStream;
  FILE* outputStream;
  uint32_t uncompressedSize;
  uint32_t compressedSize;
  uint32_t dictionaryBits;
};
#define SAME_PLACE(record, state)                                                              \
  static_assert(offsetof(LzhDecoder, record) - offsetof(LzhDecoder, archiveStream) ==          \
                    offsetof(MemberCopy, record) &&                                            \
                offsetof(DecodeState, state) - offsetof(DecodeState, archiveStream) ==         \
                    offsetof(MemberCopy, record), #state " is out of place")
SAME_PLACE(outputStream, outputStream);
SAME_PLACE(uncompressedSize, uncompressedSize);
SAME_PLACE(compressedSize, compressedLeft);
SAME_PLACE(dictionaryBits, dictionaryBits);
static const size_t MEMBER_COPY_BYTES = offsetof(MemberCopy, dictionaryBits) + sizeof(uint32_t);

// The extraction hands only methods 1 to 9 to the driver; it keeps stored
// members, folders and unknown methods away.
int decodeMember(LzhDecoder* decoder) {
  DecodeState* const ds = decodeBase();
  memcpy(&ds->archiveStream, &decoder->archiveStream, MEMBER_COPY_BYTES);
  ds->memberCrc = 0;
  const int32_t index = decoder->methodIndex;
  decoder->operations = methodDecoder(index);

  const uint32_t ringSize = ds->ringSize = decoder->dictionarySize = 1u << ds->dictionaryBits;
  unsigned char* const dictionary = ds->dictionary = (unsigned char*)malloc(ringSize);
  if (!dictionary) return DECODE_FAILED;
  memset(dictionary, ' ', ringSize);
  int result = DECODE_FAILED;
  if (fillInputBuffer(decoder->compressedSize)) {
    decoder->operations.startMember();
    const uint32_t matchBias = index == METHOD_LZS ? 254 : 253;
    ds->decodedCount = 0;
    ds->ringPos = 0;
    // The speed build looks at the progress only where the bar could move.
    uint32_t progressCheck = 0;
    for (;;) {
      if (ds->decodedCount >= ds->uncompressedSize) {
        if (ds->ringPos) writeAndCrc(dictionary, ds->ringPos, ds->outputStream);
        result = DECODE_DONE;
        break;
      }
      unsigned symbol = decoder->operations.readSymbol();
      if (symbol <= 255) putByte(symbol);
      else copyMatch(decoder->operations.readDistance(), symbol - matchBias);
      if (!DECODE_FOR_SPEED || ds->decodedCount >= progressCheck) {
        UpdateProgress(ds->decodedCount);
        if (DECODE_FOR_SPEED) progressCheck = NextProgressChange(ds->decodedCount);
      }
      if (abortRequested) {
        result = DECODE_ABORTED;  // bytes since the last full ring stay unwritten
        break;
      }
    }
  }
  free(dictionary);
  releaseInputBuffer();
  return result;
}
