#include "match_finder.h"

#include <string.h>

#include <algorithm>

#include "crc16.h"

namespace {

enum {
  MAX_HASH_BITS = 16,
  MIN_DICTIONARY_BITS = 8,
  READ_CHUNK = 1 << 18,  // bytes read at a time, beyond the dictionary kept behind
};

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

// Follows a chain from `first` through the candidates within the
// dictionary, nearest first, and keeps every one longer than `*best`
// (calling `found` with it), until `depth` links, `niceLength` or the end
// of the bytes ahead.
template <typename Found>
void Search(const MatchFinder& finder, const HashChain& chain, uint64_t position, uint32_t first, unsigned depth,
            unsigned niceLength, unsigned* bestLength, Found found) {
  const unsigned limit = LengthLimit(finder, position);
  unsigned best = *bestLength;
  if (best >= limit || best >= niceLength || !depth) return;
  const uint32_t now = (uint32_t)position, size = finder.dictionarySize, mask = size - 1;
  if (first >= now || now - first >= size) return;
  const unsigned char* here = BytesAt(finder, position);
  const unsigned char* window = finder.buffer.data() - finder.base;  // indexed by position
  const uint16_t* link = chain.link.data();
  for (uint32_t candidate = first;;) {
    const unsigned char* there = window + candidate;
    // The bytes that would make it longer than the best so far decide first,
    // with those before them.
    uint16_t hereTail, thereTail;
    memcpy(&hereTail, here + best - 1, 2);
    memcpy(&thereTail, there + best - 1, 2);
    if (hereTail == thereTail) {
      const unsigned length = CommonLength(here, there, limit);
      if (length > best) {
        best = length;
        found(MatchCandidate{length, now - candidate - 1});
        if (length >= niceLength || length >= limit) break;
      }
    }
    // A link within the dictionary is never overwritten before the next
    // position a whole dictionary later.
    const uint32_t back = link[candidate & mask];
    candidate -= back;
    if (!--depth || !back || now - candidate >= size) break;
  }
  *bestLength = best;
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
    chain->head.assign(1u << (64 - finder.hashShift), EmptyHead(finder.dictionarySize));
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

void InsertPositions(MatchFinder& finder, uint64_t from, uint64_t to) {
  // The tables and sizes in locals: a store into a table could otherwise
  // be taken to change them, and they would be read again every time.
  const unsigned char* window = finder.buffer.data() - finder.base;
  uint32_t* shortHead = finder.shortKeys.head.data();
  uint32_t* longHead = finder.longKeys.head.data();
  uint16_t* shortLink = finder.shortKeys.link.data();
  uint16_t* longLink = finder.longKeys.link.data();
  const unsigned shift = finder.hashShift;
  const uint32_t size = finder.dictionarySize;
  // Both keys fit up to LONG_KEY bytes before the end.
  const uint64_t bothFit = finder.end - std::min<uint64_t>(finder.end, LONG_KEY - 1);
  for (; from < std::min(to, bothFit); ++from) {
    uint64_t eight;
    memcpy(&eight, window + from, 8);
    EnterKey(&shortHead[ShortHash(eight, shift)], shortLink, (uint32_t)from, size);
    EnterKey(&longHead[LongHash(eight, shift)], longLink, (uint32_t)from, size);
  }
  for (; from < to; ++from) InsertPosition(finder, from, false);
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
