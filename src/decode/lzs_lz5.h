// -lzs- and -lz5- decoding: plain sliding-dictionary methods whose matches
// name an absolute position in the dictionary ring.
// Their state (matchOrigin, flagByte, flagBitsLeft) lives in decodeState.
#pragma once
#include "decode_state.h"

void startLzs(DecodeState* ds);
unsigned readSymbolLzs(DecodeState* ds);
unsigned readDistanceLzs(DecodeState* ds);

void startLz5(DecodeState* ds);
unsigned readSymbolLz5(DecodeState* ds);
unsigned readDistanceLz5(DecodeState* ds);
