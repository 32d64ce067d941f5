// The sliding-dictionary decode driver and the method table.
#pragma once
#include "../platform.h"

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

// Rows 1..9 serve method indexes 1..9 (row r is methodDecoders[r - 1]).
extern const MethodDecoder methodDecoders[9];

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

// Process-wide state of the member being decoded, read by the decoders.
extern unsigned char* dictionary;
extern uint32_t ringPos;
extern uint32_t decodedCount;
extern uint32_t uncompressedSize;
extern uint32_t dictionaryBits;  // 11 to 16
extern FILE* outputStream;
