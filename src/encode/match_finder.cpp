#include "match_finder.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <string.h>

#include <algorithm>

#include "crc16.h"

namespace {

enum {
  MAX_HASH_BITS = 16,
  MIN_DICTIONARY_BITS = 8,
  READ_CHUNK = 1 << 18,  // bytes read at a time, beyond the dictionary kept behind
  ROW_BITS_LESS = 6,     // log2 of ROW_SLOTS
  SHORT_KEYS_AT_END = 4, // of the positions a match covers, those that enter the three-byte chain
};
static_assert(ROW_SLOTS == 1 << ROW_BITS_LESS, "a row's slots are a power of two");
static_assert(ROW_SLOTS == 64, "a row's tags are compared as four vectors of 16");

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

// Bit i set where slot i of a row holds `tag`: sixteen slots a compare
// where the processor has SSE2, one by one elsewhere.
static uint64_t TagsAgreeing(const uint8_t* tags, uint8_t tag) {
  uint64_t agree = 0;
#ifdef __SSE2__
  const __m128i wanted = _mm_set1_epi8((char)tag);
  for (unsigned part = 0; part < ROW_SLOTS / 16; ++part) {
    const __m128i sixteen = _mm_loadu_si128((const __m128i*)(tags + 16 * part));
    agree |= (uint64_t)(uint16_t)_mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, wanted)) << (16 * part);
  }
#else
  for (unsigned i = 0; i < ROW_SLOTS; ++i) agree |= (uint64_t)(tags[i] == tag) << i;
#endif
  return agree;
}

// Looks at the positions of the row and tag `hash` whose tag agrees, the
// latest first (so the nearest; the first is `position` itself, entered
// already), as Search does along a chain, up to `depth` of them.
template <typename Found>
void SearchRow(const MatchFinder& finder, uint64_t position, uint32_t hash, unsigned depth, unsigned niceLength,
               unsigned* bestLength, Found found) {
  const unsigned limit = LengthLimit(finder, position);
  unsigned best = *bestLength;
  if (best >= limit || best >= niceLength || !depth || hash == kNoPosition) return;
  const HashRows& rows = finder.longKeys;
  const uint32_t row = hash >> 8, now = (uint32_t)position, size = finder.dictionarySize;
  const uint8_t* tags = rows.row[row].tag;
  const uint16_t* slots = rows.row[row].slot;
  uint64_t agree = TagsAgreeing(tags, (uint8_t)hash);
  // Bit i for the i-th latest; the latest, `position` itself, left out.
  const unsigned newest = rows.newest[row];
  agree = (newest ? (agree >> newest) | (agree << (ROW_SLOTS - newest)) : agree) & ~1ull;
  const unsigned char* here = BytesAt(finder, position);
  const uint32_t farthest = std::min(size - 1, now);  // a distance in reach is 1 to this
  if (depth < ROW_SLOTS - 1) {  // only the first `depth` of them
    uint64_t beyond = agree;
    for (unsigned k = 0; k < depth && beyond; ++k) beyond &= beyond - 1;
    agree &= ~beyond;
  }
  for (; agree; agree &= agree - 1) {
    const uint32_t distance = (uint16_t)(now - slots[(newest + (unsigned)__builtin_ctzll(agree)) & (ROW_SLOTS - 1)]);
    if (distance - 1 >= farthest) continue;
    const unsigned char* there = here - distance;
    uint16_t hereTail, thereTail;
    memcpy(&hereTail, here + best - 1, 2);
    memcpy(&thereTail, there + best - 1, 2);
    if (hereTail != thereTail) continue;
    const unsigned length = CommonLength(here, there, limit);
    if (length > best) {
      best = length;
      found(MatchCandidate{length, distance - 1});
      if (length >= niceLength || length >= limit) break;
    }
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
  finder.shortKeys.head.assign(1u << (64 - finder.hashShift), EmptyHead(finder.dictionarySize));
  finder.shortKeys.link.assign(finder.dictionarySize, 0);
  // Twice as many slots as the dictionary has positions, at least one row.
  const unsigned rowBits = bits + 1 > ROW_BITS_LESS ? bits + 1 - ROW_BITS_LESS : 0;
  finder.longKeys.shift = 64 - rowBits - 8;
  finder.longKeys.row.assign((size_t)1 << rowBits, HashRow());
  finder.longKeys.newest.assign((size_t)1 << rowBits, 0);
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
  uint16_t* shortLink = finder.shortKeys.link.data();
  HashRow* rows = finder.longKeys.row.data();
  uint8_t* newest = finder.longKeys.newest.data();
  const unsigned shift = finder.hashShift, rowShift = finder.longKeys.shift;
  const uint32_t size = finder.dictionarySize;
  // Both keys fit up to LONG_KEY bytes before the end.
  const uint64_t bothFit = finder.end - std::min<uint64_t>(finder.end, LONG_KEY - 1);
  // The rows a few positions on are fetched meanwhile, where there are
  // bytes to hash.
  const uint64_t fetchFit = finder.end - std::min<uint64_t>(finder.end, PREFETCH_AHEAD + 8);
  // Only the last few enter the three-byte chain: a short match is seldom
  // wanted within the copy of a longer one, and the same bytes are in the
  // chain where they were copied from. Their heads, and those of the
  // positions after `to` where the search goes on, are fetched.
  const uint64_t shortFrom = to - std::min<uint64_t>(to, SHORT_KEYS_AT_END);
  const uint64_t shortFetchFrom = shortFrom - std::min<uint64_t>(shortFrom, PREFETCH_AHEAD);
  // Most positions only enter the rows; the last few (below) also fetch or
  // enter the chain.
  for (const uint64_t rowsOnly = std::min({shortFetchFrom, bothFit, fetchFit}); from < rowsOnly; ++from) {
    uint64_t eight, later;
    memcpy(&eight, window + from, 8);
    memcpy(&later, window + from + PREFETCH_AHEAD, 8);
    PrefetchRow(rows, LongHash(later, rowShift));
    EnterRow(rows, newest, LongHash(eight, rowShift), (uint32_t)from);
  }
  for (; from < std::min(to, bothFit); ++from) {
    uint64_t eight;
    memcpy(&eight, window + from, 8);
    if (from < fetchFit) {
      uint64_t later;
      memcpy(&later, window + from + PREFETCH_AHEAD, 8);
      if (from >= shortFetchFrom) __builtin_prefetch(&shortHead[ShortHash(later, shift)], 1);
      PrefetchRow(rows, LongHash(later, rowShift));
    }
    if (from >= shortFrom) EnterKey(&shortHead[ShortHash(eight, shift)], shortLink, (uint32_t)from, size);
    EnterRow(rows, newest, LongHash(eight, rowShift), (uint32_t)from);
  }
  for (; from < to; ++from) InsertPosition(finder, from, false);
}

MatchCandidate LongestMatch(const MatchFinder& finder, uint64_t position, ChainStarts starts, unsigned longerThan,
                            SearchDepth depth, unsigned niceLength) {
  MatchCandidate best = {0, 0};
  unsigned bestLength = std::max<unsigned>(longerThan, MIN_MATCH - 1);
  auto keep = [&](MatchCandidate match) { best = match; };
  SearchRow(finder, position, starts.longKeys, depth.longKeys, niceLength, &bestLength, keep);
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
  SearchRow(finder, position, starts.longKeys, depth.longKeys, niceLength, &bestLength, keep);
  return count;
}
