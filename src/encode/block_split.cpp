#include <math.h>
#include <string.h>

#include <algorithm>

#include "encoder_state.h"

namespace {

enum {
  SEGMENT_SYMBOLS = 4095,   // blocks begin and end between segments of this many symbols
  SEGMENTS_PER_BLOCK = 16,  // 16 segments fit the 16-bit symbol count
};
static_assert(SYMBOLS_TO_DIVIDE == 2 * SEGMENTS_PER_BLOCK * SEGMENT_SYMBOLS, "two of the longest blocks are divided");

// Bits the symbols of these counts take by their entropy; `used` counts
// the symbols that occur.
float EntropyBits(const uint32_t* counts, unsigned symbols, unsigned* used) {
  // x log2 x for every count a block can hold.
  static const std::vector<float> kXLog2X = [] {
    std::vector<float> table(MAX_BLOCK_SYMBOLS + 1, 0.0f);
    for (unsigned x = 1; x <= MAX_BLOCK_SYMBOLS; ++x) table[x] = (float)(x * log2((double)x));
    return table;
  }();
  uint32_t total = 0;
  float sum = 0;
  for (unsigned s = 0; s < symbols; ++s) {
    if (!counts[s]) continue;
    total += counts[s];
    sum += kXLog2X[counts[s]];
    ++*used;
  }
  return kXLog2X[total] - sum;
}

// Bits a block of these counts is expected to take, from the entropy of
// its symbols and a rough price of its code lengths; plain distance bits
// are left out, as no division into blocks changes them.
float EstimatedBlockBits(const SymbolCounts& counts) {
  enum { HEADER_BITS = 60, BITS_PER_CODE_LENGTH = 4 };
  unsigned used = 0;
  const float bits = EntropyBits(counts.literalLength, LITERAL_LENGTH_CODES, &used) +
                     EntropyBits(counts.distance, MAX_DISTANCE_CODES, &used);
  return bits + HEADER_BITS + BITS_PER_CODE_LENGTH * used;
}

void AddCounts(SymbolCounts& sum, const SymbolCounts& more) {
  for (unsigned s = 0; s < LITERAL_LENGTH_CODES; ++s) sum.literalLength[s] += more.literalLength[s];
  for (unsigned s = 0; s < MAX_DISTANCE_CODES; ++s) sum.distance[s] += more.distance[s];
}

// The first segment of each block in the cheapest division of the
// segments into blocks.
std::vector<size_t> BlockStarts(const std::vector<SymbolCounts>& segmentCounts) {
  const size_t segments = segmentCounts.size();
  std::vector<float> best(segments + 1, INFINITY);
  std::vector<size_t> from(segments + 1, 0);
  best[0] = 0;
  SymbolCounts sum;
  for (size_t end = 1; end <= segments; ++end) {
    memset(&sum, 0, sizeof sum);
    for (size_t start = end; start-- > 0 && end - start <= SEGMENTS_PER_BLOCK;) {
      AddCounts(sum, segmentCounts[start]);
      const float bits = best[start] + EstimatedBlockBits(sum);
      if (bits < best[end]) {
        best[end] = bits;
        from[end] = start;
      }
    }
  }
  std::vector<size_t> starts;
  for (size_t end = segments; end > 0; end = from[end]) starts.push_back(from[end]);
  std::reverse(starts.begin(), starts.end());
  return starts;
}

}  // namespace

bool EmitBlocks(Encoder& e, bool atEnd, uint64_t maxBits) {
  const size_t symbols = e.pendingCount;
  const size_t segments = (symbols + SEGMENT_SYMBOLS - 1) / SEGMENT_SYMBOLS;
  if (!segments) return true;
  e.segmentCounts.resize(segments);
  for (size_t s = 0; s < segments; ++s)
    CountSymbols(&e.pending[s * SEGMENT_SYMBOLS], std::min<size_t>(SEGMENT_SYMBOLS, symbols - s * SEGMENT_SYMBOLS),
                 &e.segmentCounts[s]);
  std::vector<size_t> starts = BlockStarts(e.segmentCounts);
  starts.push_back(segments);
  const size_t blocks = atEnd ? starts.size() - 1 : starts.size() - 2;
  for (size_t b = 0; b < blocks; ++b) {
    SymbolCounts counts;
    memset(&counts, 0, sizeof counts);
    for (size_t s = starts[b]; s < starts[b + 1]; ++s) AddCounts(counts, e.segmentCounts[s]);
    const size_t first = starts[b] * SEGMENT_SYMBOLS;
    const size_t last = std::min(symbols, starts[b + 1] * SEGMENT_SYMBOLS);
    if (!WriteBlock(e.bits, &e.pending[first], last - first, counts, e.method->distances, maxBits)) return false;
  }
  const size_t sent = std::min(symbols, starts[blocks] * SEGMENT_SYMBOLS);
  std::copy(&e.pending[sent], &e.pending[symbols], &e.pending[0]);
  e.pendingCount = symbols - sent;
  return true;
}
