// Compression of one member with -lh5-, -lh6- or -lh7-: LZ77 over the
// method's dictionary, parsed by the level's rule, in static-Huffman blocks
// split where the statistics of the data change.
#pragma once
#include <stdint.h>
#include <stdio.h>

#include "lzh_block.h"

struct StaticMethod {
  char id[6];               // "-lh5-"
  unsigned dictionaryBits;  // 13, 15 or 16
  DistanceAlphabet distances;
};

// "lh5", "lh6" or "lh7" (with or without the dashes); null for any other.
const StaticMethod* StaticMethodNamed(const char* name);
extern const StaticMethod kDefaultMethod;  // -lh7-

enum { MIN_LEVEL = 1, MAX_LEVEL = 9, DEFAULT_LEVEL = 5 };

enum EncodeStatus { ENCODE_DONE, ENCODE_NOT_SHRUNK, ENCODE_STORED, ENCODE_READ_FAILED, ENCODE_WRITE_FAILED };

struct EncodeResult {
  EncodeStatus status;
  uint64_t originalSize;  // bytes read (all of them when done)
  uint64_t packedSize;    // bytes written
  uint16_t crc;           // CRC-16 of the bytes read
};

// Reads `input`, a file of `size` bytes (below 4 GiB), to its end and
// writes the compressed data to `output`. Gives up with ENCODE_NOT_SHRUNK
// as soon as the compressed data reaches `size` bytes (fewer are written by
// then), so that the caller can store the member instead; or, when the
// whole file is in memory by then, writes it as it is in place of the
// compressed data and returns ENCODE_STORED. Reads at most one
// byte more than `size`: originalSize then tells a file that has grown.
EncodeResult EncodeMember(FILE* input, FILE* output, const StaticMethod& method, int level, uint64_t size);
