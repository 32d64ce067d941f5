// -lzs- and -lz5- decoding: plain sliding-dictionary methods whose matches
// name an absolute position in the dictionary ring.
#pragma once
#include "../platform.h"

extern uint32_t matchOrigin;   // ring position field of the match just read
extern uint32_t flagByte;      // -lz5-: bit 0 describes the next item (1 literal)
extern uint32_t flagBitsLeft;  // -lz5-: items left before the next flag byte

void startLzs();
unsigned readSymbolLzs();
unsigned readDistanceLzs();

void startLz5();
unsigned readSymbolLz5();
unsigned readDistanceLz5();
