#include <math.h>

#include <algorithm>

#include "encoder_state.h"

namespace {

enum {
  OPTIMAL_SPAN = 4096,  // positions an optimal parse decides at once
  PRICE_SCALE = 16,     // prices are counted in sixteenths of a bit
  SKIP_SHIFT = 10,      // a long run without matches skips one more position for every 1024 of its bytes,
  MAX_SKIP = 16,        // up to 16
  GOOD_LENGTH = 16,     // lazy: a match held back this long makes the search at the next position shallower
};

// --- Taking symbols ----------------------------------------------------------------

// Sends a match that starts at `start`; the positions it covers from
// `notEntered` on enter the chains. Returns the position after it.
uint64_t TakeMatch(Encoder& e, uint64_t start, MatchCandidate match, uint64_t notEntered) {
  AddPending(e, Match(match.length, match.distance));
  e.literalRun = 0;
  InsertPositions(e.finder, notEntered, start + match.length);
  return start + match.length;
}

uint64_t TakeLiteral(Encoder& e, uint64_t position) {
  AddPending(e, Literal(*BytesAt(e.finder, position)));
  ++e.literalRun;
  return position + 1;
}

// How many positions a long run without matches (data that does not
// compress) passes over from here: they are neither looked up nor entered
// into the chains.
uint64_t PositionsToSkip(const Encoder& e, uint64_t position, uint64_t limit) {
  return std::min<uint64_t>({e.literalRun >> SKIP_SHIFT, MAX_SKIP, limit - position});
}

// Sends the positions to skip as literals.
uint64_t SkipLiterals(Encoder& e, uint64_t position, uint64_t limit) {
  const size_t skip = (size_t)PositionsToSkip(e, position, limit);
  const unsigned char* bytes = BytesAt(e.finder, position);
  for (size_t i = 0; i < skip; ++i) AddPending(e, Literal(bytes[i]));
  e.literalRun += skip;
  return position + skip;
}

// --- Greedy and lazy parsing --------------------------------------------------

// A far match must be longer to pay for its plain distance bits (and a
// short one taken too readily often stands in the way of a longer one
// behind it).
unsigned ShortestWorthwhile(uint32_t distance) {
  const unsigned code = DistanceCode(distance);
  return code < 10 ? 3 : code < 16 ? 4 : 5;
}

// A match of GOOD_LENGTH held back: the next position is searched a
// quarter as deep along the chain and a sixteenth as deep in the rows (a
// longer match there gains little, and is rarely found).
MatchCandidate FindMatch(const Encoder& e, uint64_t position, ChainStarts starts, unsigned longerThan) {
  SearchDepth depth = e.settings.depth;
  if (longerThan >= GOOD_LENGTH) depth = {(depth.shortKeys + 3) / 4, (depth.longKeys + 15) / 16};
  MatchCandidate match = LongestMatch(e.finder, position, starts, longerThan, depth, e.settings.niceLength);
  if (match.length && match.length < ShortestWorthwhile(match.distance)) match.length = 0;
  return match;
}

// A match one byte on must save more than the literal it costs: a byte
// of length is worth about five bits, a distance costs its plain bits.
bool WorthALiteral(MatchCandidate held, MatchCandidate later) {
  return 5 * later.length - DistanceCode(later.distance) > 5 * held.length - DistanceCode(held.distance);
}

uint64_t ParseGreedy(Encoder& e, uint64_t position, uint64_t limit) {
  while (position < limit) {
    const ChainStarts starts = InsertPosition(e.finder, position);
    const MatchCandidate match = FindMatch(e, position, starts, 0);
    position = match.length ? TakeMatch(e, position, match, position + 1)
                            : SkipLiterals(e, TakeLiteral(e, position), limit);
  }
  return position;
}

uint64_t ParseLazy(Encoder& e, uint64_t position, uint64_t limit) {
  // A match found at the byte before `position`, not sent while the match
  // at `position` may prove longer (length 0: none).
  MatchCandidate held = {0, 0};
  while (position < limit) {
    const ChainStarts starts = InsertPosition(e.finder, position);
    MatchCandidate match = {0, 0};
    if (held.length < e.settings.lazyLength) match = FindMatch(e, position, starts, held.length);
    if (held.length && match.length && !WorthALiteral(held, match)) match.length = 0;
    if (held.length && !match.length) {
      position = TakeMatch(e, position - 1, held, position + 1);
      held = {0, 0};
    } else if (match.length) {
      if (held.length) TakeLiteral(e, position - 1);
      held = match;
      ++position;
    } else {
      position = SkipLiterals(e, TakeLiteral(e, position), limit);
    }
  }
  if (held.length) position = TakeMatch(e, position - 1, held, position);
  return position;
}

// --- Optimal parsing ------------------------------------------------------------

void SetCodePrices(const float* counts, unsigned symbols, uint32_t* prices) {
  float total = 0;
  for (unsigned s = 0; s < symbols; ++s) total += counts[s] + 0.5f;
  for (unsigned s = 0; s < symbols; ++s)
    prices[s] = (uint32_t)(PRICE_SCALE * log2f(total / (counts[s] + 0.5f)) + 0.5f);
}

void SetPrices(Prices& prices, const RecentCounts& recent) {
  SetCodePrices(recent.literalLength, LITERAL_LENGTH_CODES, prices.literalLength);
  SetCodePrices(recent.distance, MAX_DISTANCE_CODES, prices.distance);
  for (unsigned code = 2; code < MAX_DISTANCE_CODES; ++code) prices.distance[code] += PRICE_SCALE * (code - 1);
}

// The recent counts fade by a quarter, and `symbols` are added.
void LearnFrom(RecentCounts& recent, const std::vector<LzSymbol>& symbols) {
  for (float& count : recent.literalLength) count *= 0.75f;
  for (float& count : recent.distance) count *= 0.75f;
  for (const LzSymbol& symbol : symbols) {
    recent.literalLength[symbol.code] += 1;
    if (symbol.code > 255) recent.distance[DistanceCode(symbol.distance)] += 1;
  }
}

// Finds the matches of each position of the span and enters the positions
// into the chains. A match of the nice length ends the span before its
// position; it is returned, to be taken as it is.
MatchCandidate GatherMatches(Encoder& e, uint64_t position, size_t* span) {
  OptimalParse& o = e.optimal;
  MatchCandidate found[MAX_MATCH];
  o.matches.clear();
  o.matchesFrom[0] = 0;
  for (size_t i = 0; i < *span;) {
    const ChainStarts starts = InsertPosition(e.finder, position + i);
    const size_t count = AllMatches(e.finder, position + i, starts, e.settings.depth, e.settings.niceLength, found);
    if (count && found[count - 1].length >= e.settings.niceLength) {
      *span = i;
      return found[count - 1];
    }
    o.matches.insert(o.matches.end(), found, found + count);
    o.matchesFrom[++i] = (uint32_t)o.matches.size();
    e.literalRun = count ? 0 : e.literalRun + 1;
    if (count) continue;
    const uint64_t skip = PositionsToSkip(e, position + i, position + *span);
    e.literalRun += skip;
    for (const size_t end = i + skip; i < end; ++i) o.matchesFrom[i + 1] = (uint32_t)o.matches.size();
  }
  return {0, 0};
}

// The cheapest path through the span by the current prices, into `chosen`.
void ChoosePath(Encoder& e, uint64_t position, size_t span) {
  OptimalParse& o = e.optimal;
  const unsigned char* bytes = BytesAt(e.finder, position);
  std::fill(o.cost.begin(), o.cost.begin() + span + 1, UINT32_MAX);
  o.cost[0] = 0;
  for (size_t i = 0; i < span; ++i) {
    const uint32_t here = o.cost[i];
    const uint32_t literal = here + o.prices.literalLength[bytes[i]];
    if (literal < o.cost[i + 1]) {
      o.cost[i + 1] = literal;
      o.stepLength[i + 1] = 1;
    }
    unsigned length = MIN_MATCH;
    for (uint32_t k = o.matchesFrom[i]; k < o.matchesFrom[i + 1]; ++k) {
      const MatchCandidate match = o.matches[k];
      const unsigned longest = (unsigned)std::min<size_t>(match.length, span - i);
      const uint32_t withDistance = here + o.prices.distance[DistanceCode(match.distance)];
      for (; length <= longest; ++length) {
        const uint32_t cost = withDistance + o.prices.literalLength[length + MATCH_CODE_BIAS];
        if (cost < o.cost[i + length]) {
          o.cost[i + length] = cost;
          o.stepLength[i + length] = (uint16_t)length;
          o.stepDistance[i + length] = (uint16_t)match.distance;
        }
      }
    }
  }
  o.chosen.clear();
  for (size_t i = span; i > 0; i -= o.stepLength[i])
    o.chosen.push_back(o.stepLength[i] == 1 ? Literal(bytes[i - 1]) : Match(o.stepLength[i], o.stepDistance[i]));
  std::reverse(o.chosen.begin(), o.chosen.end());
}

uint64_t ParseOptimal(Encoder& e, uint64_t position, uint64_t limit) {
  OptimalParse& o = e.optimal;
  while (position < limit) {
    size_t span = (size_t)std::min<uint64_t>(OPTIMAL_SPAN, limit - position);
    const MatchCandidate nice = GatherMatches(e, position, &span);
    ChoosePath(e, position, span);
    for (const LzSymbol& symbol : o.chosen) AddPending(e, symbol);
    LearnFrom(o.recent, o.chosen);
    SetPrices(o.prices, o.recent);
    position += span;
    if (nice.length) position = TakeMatch(e, position, nice, position + 1);
  }
  return position;
}

}  // namespace

void StartParse(Encoder& e) {
  if (e.settings.parser != OPTIMAL) return;
  OptimalParse& o = e.optimal;
  o.cost.resize(OPTIMAL_SPAN + 1);
  o.stepLength.resize(OPTIMAL_SPAN + 1);
  o.stepDistance.resize(OPTIMAL_SPAN + 1);
  o.matchesFrom.resize(OPTIMAL_SPAN + 1);
  std::fill(std::begin(o.recent.literalLength), std::end(o.recent.literalLength), 1.0f);
  std::fill(std::begin(o.recent.distance), std::end(o.recent.distance), 1.0f);
  SetPrices(o.prices, o.recent);
}

uint64_t Parse(Encoder& e, uint64_t position, uint64_t limit) {
  switch (e.settings.parser) {
    case GREEDY: return ParseGreedy(e, position, limit);
    case LAZY: return ParseLazy(e, position, limit);
    default: return ParseOptimal(e, position, limit);
  }
}
