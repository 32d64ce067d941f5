// The adaptive Huffman trees of -lh1- and -lh2-: their starting shape, and
// their structure and weights after long runs of updates with rebuilds.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "decode/adaptive_huffman.h"
#include "decode/bit_input.h"
#include "decode/driver.h"

namespace {

DecodeState& ds = decodeState;  // the trees and their scalars

uint32_t Weight(int node) { return ds.adaptiveNodes[node].nodeWeight; }
int Child(int node) { return ds.adaptiveNodes[node].nodeChild; }
int Parent(int node) { return ds.adaptiveNodes[node].nodeParent; }
int Group(int node) { return ds.adaptiveNodes[node].nodeGroup; }

struct Range {
  int start, end;  // nodes start..end-1; start is the root
};

// Checks every rule of the trees in `trees`: children lie behind their
// parent and point back to it, leaves are found through leafNode, weights
// never grow with the node index and an internal node weighs what its
// children weigh (but the distance root, fixed at 0xFFFF once it has two
// leaves), groups are exactly the runs of equal weight with their lowest
// node as leader and ids of their own, and the stack holds exactly the
// ids not in use.
testing::AssertionResult Consistent(const std::vector<Range>& trees) {
  std::set<int> ids;
  for (const Range& tree : trees) {
    for (int i = tree.start; i < tree.end; ++i) {
      const int child = Child(i);
      if (child < 0) {
        if (ds.leafNode[~child] != i) return testing::AssertionFailure() << "leafNode of node " << i;
      } else {
        if (child - 1 <= i || child >= tree.end) return testing::AssertionFailure() << "children of node " << i;
        if (Parent(child) != i || Parent(child - 1) != i) return testing::AssertionFailure() << "parent of " << child;
        bool fixedRoot = i == DISTANCE_ROOT && Weight(i) == 0xFFFF;
        if (!fixedRoot && Weight(i) != Weight(child) + Weight(child - 1))
          return testing::AssertionFailure() << "weight of node " << i;
      }
      if (i > tree.start && Weight(i) > Weight(i - 1)) return testing::AssertionFailure() << "order at node " << i;
      // The fixed distance root keeps the group id it had when the tree
      // got its second leaf, though the id went on with its first child's
      // group (and may since have been given back and taken again); no
      // update looks at the root's group, and a rebuild gives it its own.
      if (i == DISTANCE_ROOT && Weight(i) == 0xFFFF && ds.groupLeader[Group(i)] != i) continue;
      if (i > tree.start && Weight(i) == Weight(i - 1)) {
        if (Group(i) != Group(i - 1)) return testing::AssertionFailure() << "group split at node " << i;
      } else {
        if (ds.groupLeader[Group(i)] != i) return testing::AssertionFailure() << "leader of node " << i;
        if (Group(i) == 0 || !ids.insert(Group(i)).second) return testing::AssertionFailure() << "group id of " << i;
      }
    }
  }
  if (ds.freeGroupTop != 1 + (int)ids.size()) return testing::AssertionFailure() << "freeGroupTop " << ds.freeGroupTop;
  std::set<int> free;
  for (int k = ds.freeGroupTop; k < ADAPTIVE_NODES; ++k)
    if (ds.freeGroups[k] <= 0 || ds.freeGroups[k] >= ADAPTIVE_NODES || ids.count(ds.freeGroups[k]) || !free.insert(ds.freeGroups[k]).second)
      return testing::AssertionFailure() << "free id " << ds.freeGroups[k];
  return testing::AssertionSuccess();
}

class AdaptiveTrees : public testing::Test {
 protected:
  void SetUp() override {
    ds.compressedLeft = 0;  // the bit reader only gives zeros
    ds.input.inputNext = ds.input.inputEnd = nullptr;  // (not the buffer of a member decoded before)
    ds.dictionaryBits = 13;
  }
};

// The literal/length tree starts as the format builds it: symbol i in node
// 2n - 2 - i with weight 1, then internal node j (from n - 2 down to 0)
// joining nodes 2j + 2 and 2j + 1, equal weights grouped.
TEST_F(AdaptiveTrees, StartFromTheFormatsShape) {
  for (int n : {314, 286}) {
    n == 314 ? startLh1(&ds) : startLh2(&ds);
    EXPECT_EQ(ds.escapeSymbol, n == 314 ? 512 : 285);
    std::vector<uint32_t> weight(2 * n - 1);
    for (int i = 0; i < n; ++i) {
      int j = 2 * n - 2 - i;
      weight[j] = 1;
      EXPECT_EQ(Child(j), ~i);
      EXPECT_EQ(ds.leafNode[i], j);
    }
    for (int j = n - 2, i = 2 * n - 2; j >= 0; --j, i -= 2) {
      weight[j] = weight[i] + weight[i - 1];
      EXPECT_EQ(Child(j), i);
      EXPECT_EQ(Parent(i), j);
      EXPECT_EQ(Parent(i - 1), j);
    }
    for (int j = 0; j < 2 * n - 1; ++j) EXPECT_EQ(Weight(j), weight[j]) << j;
    std::vector<Range> trees = {{0, 2 * n - 1}};
    if (n == 286) {
      EXPECT_EQ(Child(DISTANCE_ROOT), ~DISTANCE_LEAF_BASE);
      EXPECT_EQ(ds.lastDistanceNode, DISTANCE_ROOT);
      trees.push_back({DISTANCE_ROOT, DISTANCE_ROOT + 1});
    }
    EXPECT_TRUE(Consistent(trees)) << n;
  }
}

struct Random {
  uint32_t state;
  uint32_t next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;  // the low bits of this generator repeat quickly
  }
  // Small values much more often than large ones, for varied weights.
  int skewed(int limit) {
    int v = (int)(next() % (uint32_t)limit);
    return (int)(next() % (uint32_t)(v + 1));
  }
};

// Long runs of literal/length and distance updates: the -lh2- trees stay
// sound through several rebuilds of each, and every leaf weighs what its
// count says (halved, rounding up, at each rebuild).
TEST_F(AdaptiveTrees, StaySoundThroughUpdatesAndRebuilds) {
  startLh2(&ds);
  std::vector<uint32_t> symbolWeight(286, 1), distanceWeight(128, 0);
  distanceWeight[0] = 1;
  int distanceLeaves = 1, symbolRebuilds = 0, distanceRebuilds = 0;
  Random random{77};
  auto check = [&](long step) {
    std::vector<Range> trees = {{0, 2 * 286 - 1}, {DISTANCE_ROOT, ds.lastDistanceNode + 1}};
    ASSERT_TRUE(Consistent(trees)) << "after update " << step;
    for (int s = 0; s < 286; ++s) ASSERT_EQ(Weight(ds.leafNode[s]), symbolWeight[s]) << s;
    if (distanceLeaves > 1)  // a lone leaf is the root, which keeps its weight of 1
      for (int p = 0; p < distanceLeaves; ++p) ASSERT_EQ(Weight(ds.leafNode[DISTANCE_LEAF_BASE + p]), distanceWeight[p]) << p;
  };
  for (long step = 0; step < 160000; ++step) {
    if (random.next() % 4 != 0) {
      int s = random.skewed(286);
      bool rebuild = Weight(0) == 0x8000;
      if (rebuild) {
        for (uint32_t& w : symbolWeight) w = (w + 1) / 2;
        ++symbolRebuilds;
      }
      countSymbol(s);
      ++symbolWeight[s];
      if (rebuild) check(step);
    } else if (distanceLeaves < 128 && random.next() % 64 == 0) {
      if (ds.distanceTotal == 0x8000) {  // the new leaf's first count rebuilds
        for (uint32_t& w : distanceWeight) w = (w + 1) / 2;
        ++distanceRebuilds;
      }
      addDistanceLeaf(distanceLeaves);
      distanceWeight[distanceLeaves++] = 1;
    } else {
      int p = random.skewed(distanceLeaves);
      bool rebuild = ds.distanceTotal == 0x8000;
      if (rebuild) {
        for (uint32_t& w : distanceWeight) w = (w + 1) / 2;
        ++distanceRebuilds;
      }
      countDistance(p);
      if (distanceLeaves > 1) ++distanceWeight[p];  // a lone leaf is the root and keeps its weight
      if (rebuild) check(step);
    }
    if (step % 4999 == 0) check(step);
  }
  check(-1);
  EXPECT_EQ(distanceLeaves, 128);
  EXPECT_GE(symbolRebuilds, 2);
  EXPECT_GE(distanceRebuilds, 1);
}

// -lh1-: only the literal/length tree, with its 314 symbols.
TEST_F(AdaptiveTrees, Lh1TreeStaysSoundThroughRebuilds) {
  startLh1(&ds);
  std::vector<uint32_t> symbolWeight(314, 1);
  Random random{5};
  int rebuilds = 0;
  for (long step = 0; step < 80000; ++step) {
    int s = random.skewed(314);
    if (Weight(0) == 0x8000) {
      for (uint32_t& w : symbolWeight) w = (w + 1) / 2;
      ++rebuilds;
    }
    countSymbol(s);
    ++symbolWeight[s];
  }
  EXPECT_GE(rebuilds, 2);
  ASSERT_TRUE(Consistent({{0, 2 * 314 - 1}}));
  for (int s = 0; s < 314; ++s) EXPECT_EQ(Weight(ds.leafNode[s]), symbolWeight[s]) << s;
}

}  // namespace
