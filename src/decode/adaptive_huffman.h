// Adaptive Huffman decoding (-lh1-, -lh2-): literal/length symbols through
// a tree that is updated after every symbol; distances through a fixed
// canonical code (-lh1-, and -lh3-) or a second adaptive tree whose
// alphabet grows with the output (-lh2-). The trees (adaptiveNodes,
// groupLeader, freeGroups, leafNode) and their scalars (freeGroupTop,
// symbolCount, maxMatch, escapeSymbol, lastDistanceNode, distanceLimit,
// nextGrowth, distanceTotal, fixedDistanceSymbols) live in decodeState.
#pragma once
#include "decode_state.h"

// Fills auxLengths for the fixed distance code of row 0 (-lh1-, 64
// symbols) or row 1 (-lh3-, 128 symbols), and builds its table.
void fixedDistanceLengths(int row);
unsigned readDistanceFixed(DecodeState* ds);

void countSymbol(int s);
void countDistance(int p);
void addDistanceLeaf(int p);

void startLh1(DecodeState* ds);
void startLh2(DecodeState* ds);
unsigned readSymbolAdaptive(DecodeState* ds);
unsigned readDistanceAdaptive(DecodeState* ds);
