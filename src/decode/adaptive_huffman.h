// Adaptive Huffman decoding (-lh1-, -lh2-): literal/length symbols through
// a tree that is updated after every symbol; distances through a fixed
// canonical code (-lh1-, and -lh3-) or a second adaptive tree whose
// alphabet grows with the output (-lh2-).
#pragma once
#include "../platform.h"

enum {
  ADAPTIVE_NODES = 884,
  ADAPTIVE_LEAVES = 442,
  DISTANCE_ROOT = 628,        // node of the distance tree's root
  DISTANCE_LEAF_BASE = 314,   // leaf symbol of distance symbol 0
};

// One node of the adaptive trees. nodeChild holds the index k of the
// node's child pair (nodes k and k - 1) or, for a leaf, the complement of
// its symbol; nodes of one group are a run of equal weight.
struct AdaptiveNode {
  uint32_t nodeWeight;
  int32_t nodeChild;
  int32_t nodeParent;
  int32_t nodeGroup;
};
extern AdaptiveNode adaptiveNodes[ADAPTIVE_NODES];
extern int32_t groupLeader[ADAPTIVE_NODES];  // per group id: its lowest node
extern int32_t freeGroups[ADAPTIVE_NODES];   // stack of unused group ids
extern int32_t leafNode[ADAPTIVE_LEAVES];    // per leaf symbol: its node
extern int32_t freeGroupTop;
extern int32_t symbolCount;
extern uint16_t maxMatch;
extern int32_t escapeSymbol;
extern int32_t lastDistanceNode;
extern int32_t distanceLimit;
extern uint32_t nextGrowth;
extern uint16_t distanceTotal;
extern int32_t fixedDistanceSymbols;

// Fills auxLengths for the fixed distance code of row 0 (-lh1-, 64
// symbols) or row 1 (-lh3-, 128 symbols), and builds its table.
void fixedDistanceLengths(int row);
unsigned readDistanceFixed();

int promote(int p);
void rebuildTree(int start, int end);
void countSymbol(int s);
void countDistance(int p);
void addDistanceLeaf(int p);

void startLh1();
void startLh2();
unsigned readSymbolAdaptive();
unsigned readDistanceAdaptive();
