// The sliding-dictionary decode driver and the method table.
#pragma once
#include "decode_state.h"

// Method ids in method-index order: -lh0- .. -lh7-, -lzs-, -lz5-, -lz4-, -lhd-.
enum {
  METHOD_LH0 = 0, METHOD_LH1, METHOD_LH2, METHOD_LH3, METHOD_LH4, METHOD_LH5, METHOD_LH6,
  METHOD_LH7, METHOD_LZS, METHOD_LZ5, METHOD_LZ4, METHOD_LHD, METHOD_COUNT
};
// The ids overlap in their dashes: id i is the 5 bytes at 4 * i.
extern const char methodIds[4 * METHOD_COUNT + 2];

// Index of a 5-byte method id in the list, or -1.
int methodIndex(const char* id);
// Dictionary bits of a method index: 12, 13, 15, 16 or 11.
uint32_t methodDictionaryBits(int index);

// One row of the method table.
struct MethodDecoder {
  unsigned (*readSymbol)();    // 0..255 literal, above: match of symbol - matchBias bytes
  unsigned (*readDistance)();  // the match starts distance + 1 bytes back
  void (*startMember)();
};

// The distinct rows: -lh1-, -lh2-, -lh3-, -lh4- to -lh7-, -lzs-, -lz5-.
// methodDecoderRows gives the row of each method index 1..9.
extern const MethodDecoder methodDecoders[6];
extern const unsigned char methodDecoderRows[METHOD_COUNT];
inline const MethodDecoder& methodDecoder(int index) { return methodDecoders[methodDecoderRows[index]]; }

struct LzhDecoder {
  uint32_t dictionarySize;
  MethodDecoder operations;  // readSymbol, readDistance, startMember: the method's row
  FILE* archiveStream;
  FILE* outputStream;
  uint32_t uncompressedSize;
  uint32_t compressedSize;
  uint32_t dictionaryBits;
  int32_t methodIndex;
};

enum DecodeResult { DECODE_DONE = 0, DECODE_ABORTED = 1, DECODE_FAILED = 2 };

// Decodes one member from decoder->archiveStream to decoder->outputStream;
// memberCrc then holds the CRC of every byte written. DECODE_FAILED: the
// method has no decoder or memory ran out; nothing more is written.
int decodeMember(LzhDecoder* decoder);

// The process-wide state of the member being decoded (dictionary, ringPos,
// decodedCount, uncompressedSize, dictionaryBits, outputStream) lives in
// decodeState, which the decoders read.
