// The encoder's window on its input and the hash chain and rows that find
// occurrences of the bytes ahead. Positions count bytes from the start of
// the member (below 4 GiB, as the format's sizes are 32-bit); the buffer
// keeps a whole dictionary of bytes behind the current position and reads
// ahead in large chunks, so memory depends on the dictionary alone. A
// member smaller than the dictionary gets buffer, chain and rows of its
// own size (a file of a few bytes does not pay for 64 KiB of them).
//
// Each position is found by two keys: a chain links it by its first three
// bytes, which finds every match, and rows (below) keep it by its first
// LONG_KEY bytes, which find the long matches among far fewer candidates
// (in text, the three-byte chain of a common word holds every place the
// word occurs; the long key only the places where the same words follow).
#pragma once
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "lzh_block.h"

enum {
  LONG_KEY = 8,
  READ_SLACK = 8,      // a key is read as eight bytes
  PREFETCH_AHEAD = 8,  // positions ahead whose chain heads are fetched meanwhile
};
const uint32_t kNoPosition = 0xFFFFFFFF;  // where a chain that a position does not enter starts

struct HashChain {
  std::vector<uint32_t> head;  // by hash of the key: the latest position
  std::vector<uint16_t> link;  // by position modulo the dictionary: how far back the one before
                               // is (0: none within the dictionary); half the memory of positions
};

// The long keys are kept in rows rather than chains: the hash of a key
// picks a row, which holds the latest ROW_SLOTS positions whose keys fell
// into it, with eight more bits of each hash as a tag. A search compares
// the row's tags at once and looks only at the positions whose tag agrees;
// those are read side by side, where a chain would be followed one link
// after the other, each waiting for the one before. A position is kept as
// its low 16 bits: the dictionary is at most 64 KiB, and a stale or
// foreign entry is only a candidate whose bytes do not agree.
enum { ROW_SLOTS = 64 };
struct alignas(64) HashRow {
  uint8_t tag[ROW_SLOTS];     // the latest at `newest`, older ones after it
  uint16_t slot[ROW_SLOTS];   // the same, the position of each
};
struct HashRows {
  std::vector<HashRow> row;
  std::vector<uint8_t> newest;   // by row
  unsigned shift;                // 64 less the bits of a row's number and of a tag
};

struct MatchFinder {
  uint32_t dictionarySize;            // a match starts less than this far back
  unsigned hashShift;                 // 64 less the bits of a hash
  std::vector<unsigned char> buffer;  // the bytes from `base` to `end`
  uint64_t base = 0;
  uint64_t end = 0;
  uint64_t readLimit;                 // one byte more than the member should have
  bool inputEnded = false;
  bool readFailed = false;
  uint16_t crc = 0;                   // CRC-16 of every byte read
  HashChain shortKeys;
  HashRows longKeys;
};

// A match of `length` bytes that starts distance + 1 bytes back.
struct MatchCandidate {
  uint32_t length;
  uint32_t distance;
};

// Where the search of a position starts: the latest earlier position of
// its three-byte chain, and its long key's row and tag (as row * 256 +
// tag); kNoPosition where the bytes left are too few for the key. How many
// links of the chain, and entries of the row with the same tag, a search
// looks at.
struct ChainStarts {
  uint32_t shortKeys, longKeys;
};
struct SearchDepth {
  unsigned shortKeys, longKeys;
};

// For a member of `size` bytes (less than 4 GiB); reading stops one byte
// beyond it, so that a file that has grown is noticed.
void StartMatchFinder(MatchFinder& finder, unsigned dictionaryBits, uint64_t size);

// Reads on when fewer than `ahead` bytes lie beyond `position` and the input
// goes on. Keeps a dictionary of bytes behind `position`.
void FillWindow(MatchFinder& finder, FILE* input, uint64_t position, uint32_t ahead);

inline const unsigned char* BytesAt(const MatchFinder& finder, uint64_t position) {
  return finder.buffer.data() + (position - finder.base);
}

// Hashes of the first three and of the first LONG_KEY of the eight bytes
// at a position (little-endian); the long one is a row and a tag, as
// row * 256 + tag.
inline uint32_t ShortHash(uint64_t eight, unsigned shift) {
  return (uint32_t)(((eight << 40) * 0x9E3779B97F4A7C15ull) >> shift);
}

inline uint32_t LongHash(uint64_t eight, unsigned shift) {
  return (uint32_t)(((eight << (64 - 8 * LONG_KEY)) * 0x9E3779B97F4A7C15ull) >> shift);
}

// Enters `position` into the row and tag of `hash`.
inline void EnterRow(HashRow* rows, uint8_t* newestOf, uint32_t hash, uint32_t position) {
  HashRow& row = rows[hash >> 8];
  const unsigned newest = (newestOf[hash >> 8] - 1u) & (ROW_SLOTS - 1);
  newestOf[hash >> 8] = (uint8_t)newest;
  row.slot[newest] = (uint16_t)position;
  row.tag[newest] = (uint8_t)hash;
}

// Fetches the row of `hash` ahead of its use: the tags and the slots.
inline void PrefetchRow(const HashRow* rows, uint32_t hash) {
  const HashRow& row = rows[hash >> 8];
  __builtin_prefetch(row.tag, 1);
  __builtin_prefetch(row.slot, 1);
  __builtin_prefetch(row.slot + ROW_SLOTS / 2, 1);
}

// An empty chain's head reads as a position a whole dictionary before the
// first: out of reach, without a test of its own.
inline uint32_t EmptyHead(uint32_t dictionarySize) { return 0u - dictionarySize; }

inline uint32_t EnterKey(uint32_t* head, uint16_t* link, uint32_t position, uint32_t dictionarySize) {
  const uint32_t previous = *head, back = position - previous;
  link[position & (dictionarySize - 1)] = (uint16_t)(back < dictionarySize ? back : 0);
  *head = position;
  return previous;
}

// Enters `position` into the chain and row whose key fits in the bytes left.
// Returns the latest earlier positions of the same keys, where a search
// starts. Inlined: it runs for every position. `prefetch`: the heads a few
// positions on are fetched meanwhile, for a parse that searches between
// positions (the tables are too large for the nearest cache).
inline ChainStarts InsertPosition(MatchFinder& finder, uint64_t position, bool prefetch = true) {
  ChainStarts starts = {kNoPosition, kNoPosition};
  const unsigned char* bytes = BytesAt(finder, position);
  const uint64_t left = finder.end - position;
  const unsigned shift = finder.hashShift, size = finder.dictionarySize;
  uint64_t eight;
  memcpy(&eight, bytes, 8);  // the buffer has room beyond its end
  if (prefetch && left >= PREFETCH_AHEAD + 8) {
    uint64_t later;
    memcpy(&later, bytes + PREFETCH_AHEAD, 8);
    __builtin_prefetch(&finder.shortKeys.head[ShortHash(later, shift)], 1);
    PrefetchRow(finder.longKeys.row.data(), LongHash(later, finder.longKeys.shift));
  }
  if (left >= MIN_MATCH)
    starts.shortKeys = EnterKey(&finder.shortKeys.head[ShortHash(eight, shift)], finder.shortKeys.link.data(),
                                (uint32_t)position, size);
  if (left >= LONG_KEY) {
    starts.longKeys = LongHash(eight, finder.longKeys.shift);
    EnterRow(finder.longKeys.row.data(), finder.longKeys.newest.data(), starts.longKeys, (uint32_t)position);
  }
  return starts;
}

// Enters the positions from `from` to `to`, which no search looks at (those
// a match covers): all into the rows, the last four into the chain.
void InsertPositions(MatchFinder& finder, uint64_t from, uint64_t to);

// The longest match at `position` that is longer than `longerThan`; length
// 0 when there is none. A search stops at once at `niceLength` bytes.
MatchCandidate LongestMatch(const MatchFinder& finder, uint64_t position, ChainStarts starts, unsigned longerThan,
                            SearchDepth depth, unsigned niceLength);

// Every match at `position` that is longer than all nearer ones (so, for
// each length, the nearest match found that reaches it), in increasing
// length, into `out` (room for MAX_MATCH entries); returns their number.
size_t AllMatches(const MatchFinder& finder, uint64_t position, ChainStarts starts, SearchDepth depth,
                  unsigned niceLength, MatchCandidate* out);
