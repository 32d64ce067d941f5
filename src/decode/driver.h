// The sliding-dictionary decode driver and the method table: the decode
// engine's entry point. The engine is a leaf: the extraction calls it with
// the member's streams, sizes and method, and it calls back only through
// progress_hook.h.
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
// Dictionary bits of each method index: 12, 13, 15, 16 or 11.
extern const unsigned char methodDictionaryBits[METHOD_COUNT];

// One row of the method table.
// Each operation is handed the decoders' state (decodeState).
struct MethodDecoder {
  unsigned (*readSymbol)(DecodeState* ds);    // 0..255 literal, above: match of symbol - matchBias bytes
  unsigned (*readDistance)(DecodeState* ds);  // the match starts distance + 1 bytes back
  void (*startMember)(DecodeState* ds);
};

// The distinct rows: -lh1-, -lh2-, -lh3-, -lh4- to -lh7-, -lzs-, -lz5-.
// methodDecoderRows gives the row of each method index 1..9. The static
// methods' row also has a run of its own (decodeStaticRun), which decodes
// most of their symbols without the driver.
extern const MethodDecoder methodDecoders[6];
extern const unsigned char methodDecoderRows[METHOD_COUNT];
enum { STATIC_METHODS_ROW = 3 };
inline const MethodDecoder& methodDecoder(int index) { return methodDecoders[methodDecoderRows[index]]; }

enum DecodeResult { DECODE_DONE = 0, DECODE_ABORTED = 1, DECODE_FAILED = 2 };

// Decodes one member of `method` (METHOD_LH1 to METHOD_LZ5 only): its
// `packedSize` compressed bytes from `archive`, which stands at them, to
// `output`, until `originalSize` bytes are produced. memberCrc then holds
// the CRC of every byte written. DECODE_ABORTED: progress_hook.h said stop;
// DECODE_FAILED: memory ran out, a write failed, or the member's data is
// cut short (the archive ended inside it, or the decoder took more than
// PAST_END_BITS beyond it), and nothing more is written.
int decodeMember(int method, FILE* archive, FILE* output, uint32_t packedSize, uint32_t originalSize);

// The process-wide state of the member being decoded (dictionary, ringPos,
// decodedCount, uncompressedSize, dictionaryBits, outputStream) lives in
// decodeState, which the decoders read.
