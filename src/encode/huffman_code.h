// Prefix codes for the static-Huffman block format: code lengths limited to
// 16 bits, and the canonical codes the decoders build from them.
#pragma once
#include <stdint.h>

enum { MAX_CODE_BITS = 16 };

// Lengths of a prefix code for `count` symbols of the given frequencies: 0
// for a symbol that never occurs, 1 to 16 for the others (a lone symbol
// gets 1). The code is complete whenever two or more symbols occur.
void BuildCodeLengths(const uint32_t* frequencies, unsigned count, unsigned char* lengths);

// Codes for those lengths as the decoders assign them: shorter lengths
// first, and within one length the symbols in increasing order. A code is
// sent from its most significant bit.
void BuildCanonicalCodes(const unsigned char* lengths, unsigned count, uint16_t* codes);
