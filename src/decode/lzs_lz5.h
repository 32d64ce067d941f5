// -lzs- and -lz5- decoding: plain sliding-dictionary methods whose matches
// name an absolute position in the dictionary ring.
// Their state (matchOrigin, flagByte, flagBitsLeft) lives in decodeState.
#pragma once
#include "decode_state.h"

void startLzs();
unsigned readSymbolLzs();
unsigned readDistanceLzs();

void startLz5();
unsigned readSymbolLz5();
unsigned readDistanceLz5();
