#include "huffman_code.h"

#include <algorithm>
#include <vector>

namespace {

// Depth of every leaf of a Huffman tree over `weights` (ascending), built
// with two queues: the leaves in order, and the inner nodes in the order
// they are made (their weights never decrease).
std::vector<unsigned> LeafDepths(const std::vector<uint64_t>& weights) {
  const size_t leaves = weights.size();
  std::vector<uint64_t> weight(weights);
  weight.resize(2 * leaves - 1);
  std::vector<size_t> parent(2 * leaves - 1, 0);
  size_t nextLeaf = 0, nextInner = leaves;
  auto takeSmallest = [&](size_t made) {
    if (nextLeaf < leaves && (nextInner >= made || weight[nextLeaf] <= weight[nextInner])) return nextLeaf++;
    return nextInner++;
  };
  for (size_t made = leaves; made < 2 * leaves - 1; ++made) {
    size_t a = takeSmallest(made), b = takeSmallest(made);
    weight[made] = weight[a] + weight[b];
    parent[a] = parent[b] = made;
  }
  std::vector<unsigned> depth(2 * leaves - 1, 0);
  for (size_t node = 2 * leaves - 2; node-- > 0;) depth[node] = depth[parent[node]] + 1;
  depth.resize(leaves);
  return depth;
}

// Moves leaves up from below 16 bits and rebalances until the lengths
// fit in 16 bits and still fill the code exactly: every step takes one
// leaf off the deepest level and splits a shallower leaf into two one
// level down.
void LimitDepths(unsigned (&perLength)[64]) {
  for (unsigned length = MAX_CODE_BITS + 1; length < 64; ++length) {
    perLength[MAX_CODE_BITS] += perLength[length];
    perLength[length] = 0;
  }
  uint64_t kraft = 0;  // in units of 2^-16
  for (unsigned length = 1; length <= MAX_CODE_BITS; ++length)
    kraft += (uint64_t)perLength[length] << (MAX_CODE_BITS - length);
  for (; kraft > (1u << MAX_CODE_BITS); --kraft) {
    --perLength[MAX_CODE_BITS];
    for (unsigned length = MAX_CODE_BITS - 1; length > 0; --length) {
      if (perLength[length]) {
        --perLength[length];
        perLength[length + 1] += 2;
        break;
      }
    }
  }
}

}  // namespace

void BuildCodeLengths(const uint32_t* frequencies, unsigned count, unsigned char* lengths) {
  std::vector<unsigned> used;
  for (unsigned s = 0; s < count; ++s) {
    lengths[s] = 0;
    if (frequencies[s]) used.push_back(s);
  }
  if (used.size() == 1) lengths[used[0]] = 1;
  if (used.size() < 2) return;
  // Rarest first; equal frequencies by symbol, so the result is stable.
  std::stable_sort(used.begin(), used.end(),
                   [&](unsigned a, unsigned b) { return frequencies[a] < frequencies[b]; });
  std::vector<uint64_t> weights;
  for (unsigned s : used) weights.push_back(frequencies[s]);
  unsigned perLength[64] = {0};
  for (unsigned depth : LeafDepths(weights)) ++perLength[std::min(depth, 63u)];
  LimitDepths(perLength);
  // The rarest symbols take the longest codes.
  size_t next = 0;
  for (unsigned length = MAX_CODE_BITS; length > 0; --length)
    for (unsigned k = 0; k < perLength[length]; ++k) lengths[used[next++]] = (unsigned char)length;
}

void BuildCanonicalCodes(const unsigned char* lengths, unsigned count, uint16_t* codes) {
  unsigned perLength[MAX_CODE_BITS + 1] = {0};
  for (unsigned s = 0; s < count; ++s) ++perLength[lengths[s]];
  perLength[0] = 0;
  unsigned next[MAX_CODE_BITS + 2] = {0};
  for (unsigned length = 1; length <= MAX_CODE_BITS; ++length)
    next[length + 1] = (next[length] + perLength[length]) << 1;
  for (unsigned s = 0; s < count; ++s) codes[s] = lengths[s] ? (uint16_t)next[lengths[s]]++ : 0;
}
