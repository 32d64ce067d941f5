#include "match_finder.h"

#include <string.h>

#include <algorithm>

#include "crc16.h"

namespace {

enum {
  MAX_HASH_BITS = 16,
  MIN_DICTIONARY_BITS = 8,
  READ_CHUNK = 1 << 18,  // bytes read at a time, beyond the dictionary kept behind
  READ_SLACK = 8,        // a key is read as eight bytes
  PREFETCH_AHEAD = 8,
};
const uint32_t kNoPosition = 0xFFFFFFFF;

// Hashes of the first three and of the first LONG_KEY of the eight bytes
// at a position (little-endian).
inline uint32_t ShortHash(uint64_t eight, unsigned shift) {
  return (uint32_t)(((eight << 40) * 0x9E3779B97F4A7C15ull) >> shift);
}

inline uint32_t LongHash(uint64_t eight, unsigned shift) {
  return (uint32_t)(((eight << (64 - 8 * LONG_KEY)) * 0x9E3779B97F4A7C15ull) >> shift);
}

// How many of the first `limit` bytes at `a` and `b` are equal.
inline unsigned CommonLength(const unsigned char* a, const unsigned char* b, unsigned limit) {
  unsigned n = 0;
  while (n + 8 <= limit) {
    uint64_t x, y;
    memcpy(&x, a + n, 8);
    memcpy(&y, b + n, 8);
    if (x != y) return n + (unsigned)__builtin_ctzll(x ^ y) / 8;
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

inline unsigned LengthLimit(const MatchFinder& finder, uint64_t position) {
  return (unsigned)std::min<uint64_t>(MAX_MATCH, finder.end - position);
}

inline uint32_t Enter(HashChain& chain, uint32_t hash, uint64_t position, uint32_t dictionarySize) {
  const uint32_t previous = chain.head[hash], back = (uint32_t)position - previous;
  const bool linked = previous != kNoPosition && back < dictionarySize;
  chain.link[position & (dictionarySize - 1)] = (uint16_t)(linked ? back : 0);
  chain.head[hash] = (uint32_t)position;
  return previous;
}

// Follows a chain from `first` through the candidates within the
// dictionary, nearest first, and keeps every one longer than `*best`
// (calling `found` with it), until `depth` links, `niceLength` or the end
// of the bytes ahead.
template <typename Found>
void Search(const MatchFinder& finder, const HashChain& chain, uint64_t position, uint32_t first, unsigned depth,
            unsigned niceLength, unsigned* best, Found found) {
  const unsigned limit = LengthLimit(finder, position);
  if (*best >= limit || *best >= niceLength) return;
  const unsigned char* here = BytesAt(finder, position);
  const uint32_t now = (uint32_t)position, mask = finder.dictionarySize - 1;
  for (uint32_t candidate = first; depth-- > 0;) {
    if (candidate >= now || now - candidate >= finder.dictionarySize) return;
    const unsigned char* there = BytesAt(finder, candidate);
    // The byte that would make it longer than the best so far decides first.
    if (there[*best] == here[*best]) {
      const unsigned length = CommonLength(here, there, limit);
      if (length > *best) {
        *best = length;
        found(MatchCandidate{length, now - candidate - 1});
        if (length >= niceLength || length >= limit) return;
      }
    }
    // A link within the dictionary is never overwritten before the next
    // position a whole dictionary later.
    const uint32_t back = chain.link[candidate & mask];
    if (!back) return;
    candidate -= back;
  }
}

}  // namespace

void StartMatchFinder(MatchFinder& finder, unsigned dictionaryBits, uint64_t size) {
  finder = MatchFinder();
  unsigned bits = MIN_DICTIONARY_BITS;
  while (bits < dictionaryBits && (1ull << bits) <= size) ++bits;
  finder.dictionarySize = 1u << bits;
  finder.hashShift = 64 - std::min<unsigned>(bits, MAX_HASH_BITS);
  finder.readLimit = size + 1;
  const uint64_t window = std::min<uint64_t>(finder.dictionarySize + READ_CHUNK + MAX_MATCH, finder.readLimit);
  finder.buffer.resize(window + READ_SLACK);
  for (HashChain* chain : {&finder.shortKeys, &finder.longKeys}) {
    chain->head.assign(1u << (64 - finder.hashShift), kNoPosition);
    chain->link.assign(finder.dictionarySize, 0);
  }
}

void FillWindow(MatchFinder& finder, FILE* input, uint64_t position, uint32_t ahead) {
  if (finder.inputEnded || finder.end - position >= ahead) return;
  if (position > finder.base + finder.dictionarySize) {
    const uint64_t keepFrom = position - finder.dictionarySize;
    memmove(finder.buffer.data(), BytesAt(finder, keepFrom), finder.end - keepFrom);
    finder.base = keepFrom;
  }
  unsigned char* to = finder.buffer.data() + (finder.end - finder.base);
  const size_t room = std::min<uint64_t>(finder.buffer.size() - READ_SLACK - (finder.end - finder.base),
                                         finder.readLimit - finder.end);
  const size_t got = fread(to, 1, room, input);
  finder.crc = Crc16Update(finder.crc, to, got);
  finder.end += got;
  if (got < room || finder.end == finder.readLimit) {
    finder.inputEnded = true;
    finder.readFailed = ferror(input) != 0;
  }
}

ChainStarts InsertPosition(MatchFinder& finder, uint64_t position) {
  ChainStarts starts = {kNoPosition, kNoPosition};
  const uint64_t left = finder.end - position;
  uint64_t eight, later;
  memcpy(&eight, BytesAt(finder, position), 8);  // the buffer has room beyond its end
  // The heads a few positions on are fetched meanwhile: the tables are too
  // large for the nearest cache.
  if (left >= PREFETCH_AHEAD + 8) {
    memcpy(&later, BytesAt(finder, position + PREFETCH_AHEAD), 8);
    __builtin_prefetch(&finder.shortKeys.head[ShortHash(later, finder.hashShift)], 1);
    __builtin_prefetch(&finder.longKeys.head[LongHash(later, finder.hashShift)], 1);
  }
  const unsigned shift = finder.hashShift, size = finder.dictionarySize;
  if (left >= MIN_MATCH) starts.shortKeys = Enter(finder.shortKeys, ShortHash(eight, shift), position, size);
  if (left >= LONG_KEY) starts.longKeys = Enter(finder.longKeys, LongHash(eight, shift), position, size);
  return starts;
}

MatchCandidate LongestMatch(const MatchFinder& finder, uint64_t position, ChainStarts starts, unsigned longerThan,
                            SearchDepth depth, unsigned niceLength) {
  MatchCandidate best = {0, 0};
  unsigned bestLength = std::max<unsigned>(longerThan, MIN_MATCH - 1);
  auto keep = [&](MatchCandidate match) { best = match; };
  Search(finder, finder.longKeys, position, starts.longKeys, depth.longKeys, niceLength, &bestLength, keep);
  // Shorter matches than the long key are left to the three-byte chain.
  if (bestLength < LONG_KEY)
    Search(finder, finder.shortKeys, position, starts.shortKeys, depth.shortKeys, niceLength, &bestLength, keep);
  return best;
}

size_t AllMatches(const MatchFinder& finder, uint64_t position, ChainStarts starts, SearchDepth depth,
                  unsigned niceLength, MatchCandidate* out) {
  size_t count = 0;
  unsigned bestLength = MIN_MATCH - 1;
  auto keep = [&](MatchCandidate match) { out[count++] = match; };
  // The nearest short matches first; a long match is then either farther
  // than they are or was among them already.
  Search(finder, finder.shortKeys, position, starts.shortKeys, depth.shortKeys, niceLength, &bestLength, keep);
  Search(finder, finder.longKeys, position, starts.longKeys, depth.longKeys, niceLength, &bestLength, keep);
  return count;
}
