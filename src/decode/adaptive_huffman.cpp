#include "adaptive_huffman.h"
#include "driver.h"
#include "static_huffman.h"

enum {
  SYMBOL_ROOT = 0,
  REBUILD_WEIGHT = 0x8000,     // root weight (or distance updates) that halves a tree
  DISTANCE_ROOT_WEIGHT = 0xFFFF,
  DISTANCE_GROWTH = 64,        // output bytes per added distance symbol
  DISTANCE_LOW_BITS = 6,
};

// Each row: the start length, then the symbols at which the length grows
// by one (a symbol listed twice by two), ended by 0.
static const unsigned char fixedLengthRows[] = {3, 1, 4, 12, 24, 48, 0, 2, 1, 1, 3, 6, 13, 31, 78, 0};

void fixedDistanceLengths(int row) {
  DecodeState* const ds = &decodeState;
  const unsigned char* cursor = fixedLengthRows + 7 * row;
  unsigned length = *cursor;
  for (int i = 0; i < ds->fixedDistanceSymbols; ++i) {
    while (cursor[1] == i) {
      ++length;
      ++cursor;
    }
    ds->auxLengths[i] = (unsigned char)length;
  }
  buildDecodeTable((unsigned)ds->fixedDistanceSymbols, AUX_TABLE_BITS);
}

unsigned readDistanceFixed(DecodeState* ds) {
  unsigned j = decodeWithTable((unsigned)ds->fixedDistanceSymbols, AUX_TABLE_BITS);
  return (j << DISTANCE_LOW_BITS) + readBits(DISTANCE_LOW_BITS);
}

__attribute__((noinline)) static int takeGroup(DecodeState* ds) { return ds->freeGroups[ds->freeGroupTop++]; }
static void giveGroup(DecodeState* ds, int id) { ds->freeGroups[--ds->freeGroupTop] = id; }

// Makes `node` the parent of what `child` names: a child pair or a leaf.
static void linkChild(DecodeState* ds, int node, int child) {
  if (child >= 0) ds->adaptiveNodes[child].nodeParent = ds->adaptiveNodes[child - 1].nodeParent = node;
  else ds->leafNode[~child] = node;
}

// Counts one more occurrence of leaf node q: from q up to `root`, each
// node moves to the front of its group (exchanging subtrees with the
// group's leader), gains one in weight and is regrouped; then its parent
// follows. A node alone in its group keeps the group, or gives it back when
// it joins the group before it.
static void promoteToRoot(int q, int root) {
  DecodeState* const ds = decodeBase();
  for (int p = q; p != root;) {
    AdaptiveNode* node = ds->adaptiveNodes + p;
    const int b = node->nodeGroup, leaderIndex = ds->groupLeader[b];
    const bool alone = leaderIndex == p && b != node[1].nodeGroup;
    if (leaderIndex != p) {
      AdaptiveNode* leader = node - (p - leaderIndex);
      int r = node->nodeChild, t = leader->nodeChild;
      node->nodeChild = t;
      leader->nodeChild = r;
      linkChild(ds, leaderIndex, r);
      linkChild(ds, p, t);
      node = leader;
      p = leaderIndex;
    }
    if (!alone) ++ds->groupLeader[b];  // p leaves its group
    if (++node->nodeWeight == node[-1].nodeWeight) {
      if (alone) giveGroup(ds, b);
      node->nodeGroup = node[-1].nodeGroup;
    } else if (!alone) {
      int g = takeGroup(ds);
      node->nodeGroup = g;
      ds->groupLeader[g] = p;
    }
    p = node->nodeParent;
  }
}

// Halves the weights of the leaves of the tree in nodes start..end-1 and
// builds the tree anew from them: the leaves, in their old order, and new
// internal nodes for the pairs of slots from the back are merged by
// weight from the last slot down.
static void rebuildTree(int start, int end) {
  DecodeState* const ds = &decodeState;  // shorter here than through a base register
  AdaptiveNode* const nodes = ds->adaptiveNodes;
  AdaptiveNode* const first = nodes + start;
  AdaptiveNode* const last = nodes + end - 1;
  AdaptiveNode* leavesEnd = first;  // one past the collected leaves still to place
  int b = 0;
  for (AdaptiveNode* node = first; node <= last; ++node) {
    if (node->nodeChild < 0) {
      leavesEnd->nodeWeight = (node->nodeWeight + 1) / 2;
      leavesEnd->nodeChild = node->nodeChild;
      ++leavesEnd;
    }
    b = node->nodeGroup;
    if (ds->groupLeader[b] == node - nodes) giveGroup(ds, b);
  }
  AdaptiveNode* pair = last - 1;  // the next pair of slots to join
  for (AdaptiveNode* slot = last; slot >= first; --slot) {
    // A new node for the pair goes before the leaves lighter than it;
    // until both slots of the pair are filled, leaves go first.
    uint32_t f = pair[0].nodeWeight + pair[1].nodeWeight;
    const AdaptiveNode* lighter = first;
    while (f < lighter->nodeWeight) ++lighter;
    if (slot >= pair || leavesEnd > lighter) {
      --leavesEnd;
      slot->nodeWeight = leavesEnd->nodeWeight;
      slot->nodeChild = leavesEnd->nodeChild;
    } else {
      slot->nodeWeight = f;
      slot->nodeChild = (int)(pair - nodes) + 1;
      pair -= 2;
    }
  }
  uint32_t f = 0;
  for (AdaptiveNode* node = first; node <= last; ++node) {
    int i = (int)(node - nodes);
    linkChild(ds, i, node->nodeChild);
    if (node->nodeWeight != f) {
      b = takeGroup(ds);
      ds->groupLeader[b] = i;
      f = node->nodeWeight;
    }
    node->nodeGroup = b;
  }
}

// The literal/length tree: symbolCount leaves of weight 1, built as a
// rebuild builds a tree. Every member starts with all group state cleared
// and the whole stack of group ids free, so a tree never runs out of ids;
// id 0 is never handed out and marks the nodes outside the trees.
static void startAdaptiveSymbols() {
  DecodeState* const ds = decodeBase();
  const int n = ds->symbolCount;
  ds->escapeSymbol = n >= ds->maxMatch + 254 ? 512 : n - 1;
  AdaptiveNode* nodes = ds->adaptiveNodes;
  for (int i = 0; i < ADAPTIVE_NODES; ++i) {
    nodes[i].nodeGroup = 0;
    nodes[i].nodeWeight = 1;
    nodes[i].nodeChild = i < n ? ~(n - 1 - i) : 0;  // symbol 0 ends up at node 2n - 2
    ds->freeGroups[i] = i;
  }
  ds->groupLeader[0] = -1;
  ds->freeGroupTop = 1;
  rebuildTree(SYMBOL_ROOT, 2 * n - 1);
}

void countSymbol(int s) {
  DecodeState* const ds = decodeBase();
  if (ds->adaptiveNodes[SYMBOL_ROOT].nodeWeight == REBUILD_WEIGHT) rebuildTree(SYMBOL_ROOT, 2 * ds->symbolCount - 1);
  ++ds->adaptiveNodes[SYMBOL_ROOT].nodeWeight;
  promoteToRoot(ds->leafNode[s], SYMBOL_ROOT);
}

// The distance root keeps the weight 0xFFFF once the tree has two leaves;
// distanceTotal counts the updates instead.
void countDistance(int p) {
  DecodeState* const ds = decodeBase();
  if (ds->distanceTotal == REBUILD_WEIGHT) {
    rebuildTree(DISTANCE_ROOT, ds->lastDistanceNode + 1);
    ds->distanceTotal = (uint16_t)ds->adaptiveNodes[DISTANCE_ROOT].nodeWeight;
    ds->adaptiveNodes[DISTANCE_ROOT].nodeWeight = DISTANCE_ROOT_WEIGHT;
  }
  promoteToRoot(ds->leafNode[DISTANCE_LEAF_BASE + p], DISTANCE_ROOT);
  ++ds->distanceTotal;
}

// Splits the last distance node (a leaf) into itself and a new leaf of
// weight 0 for distance symbol p, then counts p.
void addDistanceLeaf(int p) {
  DecodeState* const ds = decodeBase();
  const int m = ds->lastDistanceNode, r = m + 1, q = m + 2;
  AdaptiveNode* last = ds->adaptiveNodes + m;
  linkChild(ds, r, last[1].nodeChild = last->nodeChild);
  linkChild(ds, q, last[2].nodeChild = ~(DISTANCE_LEAF_BASE + p));
  linkChild(ds, m, last->nodeChild = q);
  last[1].nodeWeight = last->nodeWeight;
  last[2].nodeWeight = 0;
  last[1].nodeGroup = last->nodeGroup;
  if (m == DISTANCE_ROOT) {
    last->nodeWeight = DISTANCE_ROOT_WEIGHT;
    ++ds->groupLeader[last->nodeGroup];
  }
  int g = takeGroup(ds);
  last[2].nodeGroup = g;
  ds->groupLeader[g] = q;
  ds->lastDistanceNode = q;
  countDistance(p);
}

// Walks from a root whose child pair is x down to a leaf, one bit per
// node; returns the leaf's symbol. The bits are looked at 16 at a time and
// consumed afterwards.
static DECODE_HOT int walkAdaptiveTree(int x) {
  const DecodeState* const ds = decodeBase();
  unsigned w = peekBits16(ds), n = 0;
  while (x > 0) {
    x = ds->adaptiveNodes[x - (int)((w >> 15) & 1)].nodeChild;
    w <<= 1;
    if (++n == 16) {
      dropBits(16);
      w = peekBits16(ds);
      n = 0;
    }
  }
  dropBits(n);
  return ~x;
}

unsigned readSymbolAdaptive(DecodeState* ds) {
  int s = walkAdaptiveTree(ds->adaptiveNodes[SYMBOL_ROOT].nodeChild);
  countSymbol(s);
  if (s == ds->escapeSymbol) s += readBits(8);
  return (unsigned)s;
}

// The alphabet grows by one symbol each time the output passes another 64
// bytes (counted before the current match), up to the dictionary size.
unsigned readDistanceAdaptive(DecodeState* ds) {
  while (ds->decodedCount > ds->nextGrowth) {
    addDistanceLeaf((int)(ds->nextGrowth / DISTANCE_GROWTH));
    ds->nextGrowth += DISTANCE_GROWTH;
    if (ds->nextGrowth >= (uint32_t)ds->distanceLimit) ds->nextGrowth = 0xFFFFFFFF;
  }
  int p = walkAdaptiveTree(ds->adaptiveNodes[DISTANCE_ROOT].nodeChild) - DISTANCE_LEAF_BASE;
  countDistance(p);
  return ((unsigned)p << DISTANCE_LOW_BITS) + readBits(DISTANCE_LOW_BITS);
}

void startLh1(DecodeState* ds) {
  ds->symbolCount = 314;
  ds->maxMatch = 60;
  startBits();
  ds->fixedDistanceSymbols = 64;
  startAdaptiveSymbols();
  fixedDistanceLengths(0);
}

// The distance tree starts as one leaf (distance symbol 0, weight 1 like
// every node after startAdaptiveSymbols) at its root, built as a rebuild
// builds a tree: it needs no bits to decode.
void startLh2(DecodeState* ds) {
  ds->symbolCount = 286;
  ds->maxMatch = 256;
  startBits();
  startAdaptiveSymbols();
  ds->adaptiveNodes[DISTANCE_ROOT].nodeChild = ~DISTANCE_LEAF_BASE;
  rebuildTree(DISTANCE_ROOT, DISTANCE_ROOT + 1);
  ds->lastDistanceNode = DISTANCE_ROOT;
  ds->distanceTotal = 0;
  ds->distanceLimit = 1 << ds->dictionaryBits;
  ds->nextGrowth = DISTANCE_GROWTH;
}
