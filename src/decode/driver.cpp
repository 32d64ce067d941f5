#include "driver.h"
#include <stddef.h>
#include "adaptive_huffman.h"
#include "bit_input.h"
#include "lh3.h"
#include "lzs_lz5.h"
#include "progress_hook.h"
#include "static_huffman.h"

__attribute__((aligned(1))) const char methodIds[4 * METHOD_COUNT + 2] = "-lh0-lh1-lh2-lh3-lh4-lh5-lh6-lh7-lzs-lz5-lz4-lhd-";

int methodIndex(const char* id) {
  for (int i = 0; i < METHOD_COUNT; ++i)
    if (memcmp(id, methodIds + 4 * i, 5) == 0) return i;
  return -1;
}

// 12 for -lh1-, -lh4- and -lz5-; 15 for -lh6-; 16 for -lh7-; 11 for -lzs-;
// 13 for every other index.
__attribute__((aligned(1))) const unsigned char methodDictionaryBits[METHOD_COUNT] = {13, 12, 13, 13, 12, 13, 15, 16, 11, 12, 13, 13};

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

// The output passes through a window of three parts: the previous lap of
// the ring (ringSize bytes), the current lap (ringSize bytes, of which
// ringPos are written) and room for the longest match to run past it. As a
// match's source then never wraps, it is copied straight, byte by byte; the
// bytes read are those the ring would hold. When a symbol ends with the
// current lap full, the lap is written out whole, becomes the previous lap,
// and what ran past it starts the next one.

// Writes the first `count` bytes of the current lap. After a failed write
// the member ends at the next symbol: its size is taken as reached. (A
// member cut short is not stopped here: when a read finds the archive's
// end depends on how far each build's bit window reads ahead, so it stops
// at the bound on bits taken beyond its data, as both builds see it.)
static void writeLap(uint32_t count) {
  DecodeState* const ds = decodeBase();
  writeAndCrc(ds->dictionary + ds->ringSize, count, ds->outputStream);
  if (ds->memberFailed & MEMBER_WRITE_FAILED) ds->uncompressedSize = 0;
}

// A full lap is written out and moves back to be the previous one.
static void endLapIfFull() {
  DecodeState* const ds = decodeBase();
  const uint32_t ringSize = ds->ringSize;
  if (ds->ringPos < ringSize) return;
  writeLap(ringSize);
  memmove(ds->dictionary, ds->dictionary + ringSize, ds->ringPos);
  ds->ringPos -= ringSize;
}

// Copies a match and counts it, byte by byte in increasing order: a
// distance shorter than the length repeats the bytes just written. A
// distance beyond the ring reads what the ring would (the distance modulo
// its size). The speed build moves whole blocks where that gives the same
// bytes.
static void copyMatch(uint32_t distance, uint32_t length) {
  DecodeState* const ds = decodeBase();
  unsigned char* out = ds->dictionary + ds->ringSize + ds->ringPos;
  const unsigned char* in = out - (distance & (ds->ringSize - 1)) - 1;
  ds->ringPos += length;
  ds->decodedCount += length;
#if DECODE_FOR_SPEED
  const uint32_t behind = (uint32_t)(out - in);
  if (behind >= length) {
    // No byte is read after it has been written: a plain move.
    memcpy(out, in, length);
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
#endif
  // Matches of the other methods are mostly short: an indexed loop beats
  // the string move's start-up cost here.
  for (uint32_t k = 0; k < length; ++k) out[k] = in[k];
}

// Only methods 1 to 9 reach the driver: the extraction keeps stored
// members, folders and unknown methods away. Progress is reported where
// progress_hook.h asked for it next, which is also where an abort is seen.
int decodeMember(int method, FILE* archive, FILE* output, uint32_t packedSize, uint32_t originalSize) {
  DecodeState* const ds = decodeBase();
  ds->archiveStream = archive;
  ds->outputStream = output;
  ds->uncompressedSize = originalSize;
  ds->memberCrc = 0;
  ds->memberFailed = 0;
  ds->dictionaryBits = methodDictionaryBits[method];
  const uint32_t ringSize = ds->ringSize = 1u << ds->dictionaryBits;
  unsigned char* const dictionary = ds->dictionary = (unsigned char*)malloc(2 * ringSize + LONGEST_MATCH);
  if (!dictionary) return DECODE_FAILED;
  memset(dictionary, ' ', ringSize);  // the ring as it starts: the previous lap
  int result = DECODE_FAILED;
  if (fillInputBuffer(packedSize)) {
    const MethodDecoder& row = methodDecoder(method);
    const bool hasRun = methodDecoderRows[method] == STATIC_METHODS_ROW;
    row.startMember(ds);
    const uint32_t matchBias = method == METHOD_LZS ? 254 : 253;
    ds->decodedCount = 0;
    ds->ringPos = 0;
    uint32_t progressCheck = 1;  // after the first symbol, then where UpdateProgress says
    result = DECODE_DONE;
    while (ds->decodedCount < ds->uncompressedSize) {
      // The static methods' run goes as far as it can; where it takes no
      // symbol, the driver takes one.
      const uint32_t before = ds->decodedCount;
      if (hasRun) decodeStaticRun(progressCheck < ds->uncompressedSize ? progressCheck : ds->uncompressedSize);
      if (ds->decodedCount == before) {
        const unsigned symbol = row.readSymbol(ds);
        if (symbol <= 255) {
          ds->dictionary[ringSize + ds->ringPos++] = (unsigned char)symbol;
          ++ds->decodedCount;
        } else {
          copyMatch(row.readDistance(ds), symbol - matchBias);
        }
      }
      endLapIfFull();
      // Past its data a member reads zero bits. A decoder that has taken
      // more than PAST_END_BITS of them is decoding damage, such as a size
      // that claims more than the data holds: the member fails at once,
      // rather than go on producing bytes from nothing up to that size.
      // The bits taken are those fetched less those still in the window, so
      // that both builds, whose windows reach differently far ahead, stop
      // at the same symbol.
      if (ds->bytesPastEnd && (int32_t)(8 * ds->bytesPastEnd - ds->input.bitsInWindow) > PAST_END_BITS) {
        ds->memberFailed = MEMBER_CUT_SHORT;
        result = DECODE_FAILED;
        break;
      }
      if (ds->decodedCount >= progressCheck && !(progressCheck = UpdateProgress(ds->decodedCount))) {
        result = DECODE_ABORTED;  // bytes since the last full ring stay unwritten
        break;
      }
    }
    if (result == DECODE_DONE && ds->ringPos) writeLap(ds->ringPos);
    if (ds->memberFailed) result = DECODE_FAILED;
  }
  free(dictionary);
  releaseInputBuffer();
  return result;
}
