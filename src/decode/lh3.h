// -lh3- decoding: static Huffman blocks whose literal/length lengths come
// in a plain fixed-width form and whose distance code is sent or built in.
#pragma once
#include "../platform.h"

extern uint16_t lh3BlockRemaining;  // symbols left in the current block

void startLh3();
unsigned readSymbolLh3();
