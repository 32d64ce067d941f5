// -lh3- decoding: static Huffman blocks whose literal/length lengths come
// in a plain fixed-width form and whose distance code is sent or built in.
// lh3BlockRemaining (symbols left in the current block) lives in
// decodeState.
#pragma once
#include "decode_state.h"

void startLh3(DecodeState* ds);
unsigned readSymbolLh3(DecodeState* ds);
