// The encoder's state while it compresses one member, shared by its three
// parts: the driver (lzh_encoder.cpp), the parse into literals and matches
// (lz_parse.cpp) and the division of the symbols into blocks
// (block_split.cpp).
#pragma once
#include <stdio.h>

#include <memory>
#include <vector>

#include "bit_writer.h"
#include "lzh_block.h"
#include "lzh_encoder.h"
#include "match_finder.h"

// How a level parses: greedy takes the longest match at each position;
// lazy holds it back for one byte when the next position has a longer one;
// optimal chooses the cheapest path of literals and matches through a span
// of positions, by the prices the latest symbols give.
enum Parser { GREEDY, LAZY, OPTIMAL };

struct LevelSettings {
  Parser parser;
  SearchDepth depth;    // links followed in each chain when looking for a match
  unsigned niceLength;  // a match this long is taken without looking further
  unsigned lazyLength;  // lazy: a match this long is taken without looking at the next position
};

// Bits a symbol is expected to cost, in sixteenths of a bit; a distance
// code's price includes its plain bits.
struct Prices {
  uint32_t literalLength[LITERAL_LENGTH_CODES];
  uint32_t distance[MAX_DISTANCE_CODES];
};

// Symbol counts that fade: the latest spans weigh the most.
struct RecentCounts {
  float literalLength[LITERAL_LENGTH_CODES];
  float distance[MAX_DISTANCE_CODES];
};

struct OptimalParse {
  std::vector<uint32_t> cost;         // of the cheapest path to each position of the span
  std::vector<uint16_t> stepLength;   // its last step: 1 for a literal, or a match length
  std::vector<uint16_t> stepDistance;
  std::vector<uint32_t> matchesFrom;  // the matches of position i are matches[matchesFrom[i] ..]
  std::vector<MatchCandidate> matches;
  std::vector<LzSymbol> chosen;
  RecentCounts recent;  // of the symbols chosen last
  Prices prices;        // by those counts
};

struct Encoder {
  const StaticMethod* method;
  LevelSettings settings;
  MatchFinder finder;
  uint64_t literalRun = 0;        // positions since the last match
  // Parsed, not yet in a block: the first `pendingCount`. Room for all a
  // parse step can add to what is kept back is made once (PENDING_ROOM, or
  // a symbol for every byte of a smaller member), and left uncleared.
  std::unique_ptr<LzSymbol[]> pending;
  size_t pendingCount = 0;
  std::vector<SymbolCounts> segmentCounts;
  BitWriter bits;
  OptimalParse optimal;
};

void StartParse(Encoder& e);

// Parses the positions from `position` to `limit` (each with its lookahead
// read) into pending symbols; returns the position after the last symbol
// (a match may reach beyond `limit`).
uint64_t Parse(Encoder& e, uint64_t position, uint64_t limit);

enum {
  PARSE_STEP = 1 << 14,             // positions parsed before the pending symbols are looked at
  SYMBOLS_TO_DIVIDE = 32 * 4095,    // pending symbols gathered before blocks are chosen
  PENDING_ROOM = SYMBOLS_TO_DIVIDE + PARSE_STEP + 1,
};

inline void AddPending(Encoder& e, LzSymbol symbol) { e.pending[e.pendingCount++] = symbol; }

// Writes the pending symbols as blocks, divided where the statistics of
// the symbols change. The last block is kept back unless this is the end:
// it may yet grow with the symbols to come. Returns false, having stopped,
// when the bits written would exceed `maxBits` (the data does not shrink).
bool EmitBlocks(Encoder& e, bool atEnd, uint64_t maxBits);
