// The same decoder sources serve two builds with different aims.
//
// The stub is built for size (DECODE_FOR_SPEED 0): the small hot helpers of
// the decoders stay out of line, shared by all their callers, the bit
// reader takes the bits one at a time and fetches one byte at a time, the
// CRC takes one byte a step, and every function reaches the decoders'
// state through a base pointer held in a register (decode_state.h).
//
// The native build (tools, tests, benchmark) is built for speed
// (DECODE_FOR_SPEED 1): the hot helpers are inlined into their callers, the
// bit reader keeps a 64-bit window and fetches eight bytes at a time, the
// CRC takes eight bytes a step and matches are copied in blocks.
//
// Every algorithm has one implementation; where the builds take different
// paths (a fast one, or a short one), both read the same bits and produce
// the same bytes. The native tests can build the size variant too
// (-DDECODE_FOR_SPEED=0).
#pragma once

#ifndef DECODE_FOR_SPEED
#ifdef _WIN32
#define DECODE_FOR_SPEED 0
#else
#define DECODE_FOR_SPEED 1
#endif
#endif

// DECODE_HOT marks the small hot helpers whose bodies live in the headers.
// The speed build inlines them into every caller. The size build compiles
// each of them once, as an ordinary function, in the .cpp file that owns
// its header (it defines the header's *_OWNER macro before including it);
// everywhere else the header only declares them.
#if DECODE_FOR_SPEED
#define DECODE_HOT inline __attribute__((always_inline))
#else
#define DECODE_HOT
#endif

// DECODE_COLD keeps rare work (block headers, table building) out of the
// hot per-symbol functions of the speed build, so that their fast path
// needs few registers.
#if DECODE_FOR_SPEED
#define DECODE_COLD __attribute__((noinline, cold))
#else
#define DECODE_COLD
#endif
