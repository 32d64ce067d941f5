// The block format of -lh5-, -lh6- and -lh7-: a symbol count, the three
// codes (code-length code, literal/length code, distance code) and the
// symbols.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "bit_writer.h"

enum {
  LITERAL_LENGTH_CODES = 510,  // 256 literals, then match lengths 3 to 256
  MATCH_CODE_BIAS = 253,       // the code of a match is its length + 253
  MIN_MATCH = 3,
  MAX_MATCH = 256,
  MAX_BLOCK_SYMBOLS = 65535,   // the count is sent in 16 bits
  MAX_DISTANCE_CODES = 17,
};

// One symbol: a literal byte (code below 256) or a match of code - 253
// bytes that starts distance + 1 bytes back.
struct LzSymbol {
  uint16_t code;
  uint16_t distance;
};

inline LzSymbol Literal(unsigned char byte) { return {byte, 0}; }
inline LzSymbol Match(unsigned length, unsigned distance) {
  return {(uint16_t)(length + MATCH_CODE_BIAS), (uint16_t)distance};
}

// Distance code j: 0 for distance 0, otherwise the distance's bit length;
// the j - 1 bits below the leading one follow plainly.
inline unsigned DistanceCode(unsigned distance) { return distance ? 32 - __builtin_clz(distance) : 0; }

// How a method sends its distance code: 14 codes with a 4-bit count for
// -lh5-, 16 or 17 with a 5-bit count for -lh6- and -lh7-.
struct DistanceAlphabet {
  unsigned codes;
  unsigned countBits;
};

// Symbol counts of a run of symbols.
struct SymbolCounts {
  uint32_t literalLength[LITERAL_LENGTH_CODES];
  uint32_t distance[MAX_DISTANCE_CODES];
};

void CountSymbols(const LzSymbol* symbols, size_t count, SymbolCounts* counts);

// Writes one block of 1 to 65535 symbols, whose counts are given, unless
// the writer would then hold more than `maxBits` bits: it then stops after
// the block's codes and returns false (its size is known from the codes
// before a symbol is written).
bool WriteBlock(BitWriter& out, const LzSymbol* symbols, size_t count, const SymbolCounts& counts,
                DistanceAlphabet alphabet, uint64_t maxBits);
