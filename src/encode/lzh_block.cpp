#include "lzh_block.h"

#include <string.h>

#include <vector>

#include "huffman_code.h"

namespace {

enum {
  CODE_LENGTH_CODES = 19,  // 0-2: runs of zero lengths, 3-18: lengths 1 to 16
  LONG_LENGTH = 7,         // from here on a length is sent as 7 and a run of 1 bits
  ZERO_RUN_AFTER = 3,      // the code-length code sends a 2-bit zero run after its third length
};

// A code ready to send: its lengths and codes; a code that only one symbol
// uses is sent as that single value, and its symbols then take no bits.
struct Code {
  unsigned char lengths[LITERAL_LENGTH_CODES];
  uint16_t codes[LITERAL_LENGTH_CODES];
  unsigned count;  // symbols with a length, up to the last one used
  int single;      // the one symbol used, or -1
};

Code MakeCode(const uint32_t* frequencies, unsigned symbols) {
  Code code;
  BuildCodeLengths(frequencies, symbols, code.lengths);
  code.count = 0;
  unsigned used = 0;
  code.single = 0;
  for (unsigned s = 0; s < symbols; ++s) {
    if (!code.lengths[s]) continue;
    code.count = s + 1;
    code.single = (int)s;
    ++used;
  }
  if (used > 1) code.single = -1;
  else memset(code.lengths, 0, symbols);  // one value or none: no bits per symbol
  BuildCanonicalCodes(code.lengths, symbols, code.codes);
  return code;
}

inline void PutSymbol(BitWriter& out, const Code& code, unsigned symbol) {
  PutBits(out, code.codes[symbol], code.lengths[symbol]);
}

// The single-value form: a count of 0, then the value.
void PutSingle(BitWriter& out, unsigned value, unsigned countBits) {
  PutBits(out, 0, countBits);
  PutBits(out, value, countBits);
}

// Lengths of the code-length code or of the distance code: 3 bits, or 7 and
// then one 1 bit for each step above 7 and a 0 bit. After the entry before
// `zeroRunAt` (never, when 0) comes a 2-bit count of the zero lengths that
// follow it, which are then skipped.
void PutSmallCodeLengths(BitWriter& out, const Code& code, unsigned countBits, unsigned zeroRunAt) {
  if (code.single >= 0) {
    PutSingle(out, (unsigned)code.single, countBits);
    return;
  }
  PutBits(out, code.count, countBits);
  for (unsigned i = 0; i < code.count; ++i) {
    unsigned length = code.lengths[i];
    if (length < LONG_LENGTH) {
      PutBits(out, length, 3);
    } else {
      PutBits(out, LONG_LENGTH, 3);
      PutBits(out, ((1u << (length - LONG_LENGTH)) - 1) << 1, length - LONG_LENGTH + 1);
    }
    if (i + 1 == zeroRunAt) {
      unsigned zeros = 0;
      while (zeros < 3 && i + 1 + zeros < code.count && code.lengths[i + 1 + zeros] == 0) ++zeros;
      PutBits(out, zeros, 2);
      i += zeros;
    }
  }
}

// The literal/length lengths as code-length symbols: 0 is one zero length,
// 1 is 3 to 18 zeros (4 more bits), 2 is 20 to 531 zeros (9 more bits),
// and x above 2 is the length x - 2.
struct LengthToken {
  uint16_t symbol;
  uint16_t extra;
};

std::vector<LengthToken> LengthTokens(const Code& code) {
  std::vector<LengthToken> tokens;
  for (unsigned i = 0; i < code.count;) {
    if (code.lengths[i]) {
      tokens.push_back({(uint16_t)(code.lengths[i++] + 2), 0});
      continue;
    }
    unsigned run = 0;
    while (i < code.count && code.lengths[i] == 0) ++run, ++i;
    if (run == 19) {  // no run symbol covers 19: one zero, then 18
      tokens.push_back({0, 0});
      run = 18;
    }
    if (run <= 2) {
      for (; run; --run) tokens.push_back({0, 0});
    } else if (run <= 18) {
      tokens.push_back({1, (uint16_t)(run - 3)});
    } else {
      tokens.push_back({2, (uint16_t)(run - 20)});
    }
  }
  return tokens;
}

void PutLiteralLengths(BitWriter& out, const Code& literals, const Code& lengthCode,
                       const std::vector<LengthToken>& tokens) {
  if (literals.single >= 0) {
    PutSingle(out, (unsigned)literals.single, 9);
    return;
  }
  PutBits(out, literals.count, 9);
  for (const LengthToken& token : tokens) {
    PutSymbol(out, lengthCode, token.symbol);
    if (token.symbol == 1) PutBits(out, token.extra, 4);
    if (token.symbol == 2) PutBits(out, token.extra, 9);
  }
}

}  // namespace

void CountSymbols(const LzSymbol* symbols, size_t count, SymbolCounts* counts) {
  memset(counts, 0, sizeof *counts);
  for (size_t i = 0; i < count; ++i) {
    ++counts->literalLength[symbols[i].code];
    if (symbols[i].code > 255) ++counts->distance[DistanceCode(symbols[i].distance)];
  }
}

bool WriteBlock(BitWriter& out, const LzSymbol* symbols, size_t count, const SymbolCounts& counts,
                DistanceAlphabet alphabet, uint64_t maxBits) {
  const Code literals = MakeCode(counts.literalLength, LITERAL_LENGTH_CODES);
  const Code distances = MakeCode(counts.distance, alphabet.codes);
  std::vector<LengthToken> tokens;
  uint32_t tokenCounts[CODE_LENGTH_CODES] = {0};
  if (literals.single < 0) tokens = LengthTokens(literals);
  for (const LengthToken& token : tokens) ++tokenCounts[token.symbol];
  const Code lengthCode = MakeCode(tokenCounts, CODE_LENGTH_CODES);

  PutBits(out, (uint32_t)count, 16);
  PutSmallCodeLengths(out, lengthCode, 5, ZERO_RUN_AFTER);
  PutLiteralLengths(out, literals, lengthCode, tokens);
  PutSmallCodeLengths(out, distances, alphabet.countBits, 0);
  uint64_t symbolBits = 0;
  for (unsigned s = 0; s < LITERAL_LENGTH_CODES; ++s) symbolBits += (uint64_t)counts.literalLength[s] * literals.lengths[s];
  for (unsigned j = 0; j < alphabet.codes; ++j)
    symbolBits += (uint64_t)counts.distance[j] * (distances.lengths[j] + (j > 1 ? j - 1 : 0));
  if (BitsHeld(out) + symbolBits > maxBits) return false;
  MakeRoom(out, symbolBits);
  for (size_t i = 0; i < count; ++i) {
    const LzSymbol s = symbols[i];
    PutBitsInRoom(out, literals.codes[s.code], literals.lengths[s.code]);
    if (s.code < 256) continue;
    const unsigned j = DistanceCode(s.distance);
    PutBitsInRoom(out, distances.codes[j], distances.lengths[j]);
    if (j > 1) PutBitsInRoom(out, s.distance - (1u << (j - 1)), j - 1);
  }
  return true;
}
