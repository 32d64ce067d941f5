// The same decoder sources serve two builds with different aims.
//
// The stub is built for size (DECODE_FOR_SPEED 0): the helpers that several
// decoders share stay out of line, the bit reader keeps a 32-bit window
// filled a byte at a time, and every function reaches the decoders' state
// through a base pointer held in a register (decode_state.h).
//
// The native build (tools, tests, benchmark) is built for speed
// (DECODE_FOR_SPEED 1): the shared helpers are inlined into their callers,
// the bit reader keeps a 64-bit window filled eight bytes at a time, and
// matches are copied in blocks.
//
// Everything else is the same code in both: the per-symbol paths take bits
// and bytes straight from the window and the buffer, the CRC takes eight
// bytes a step, and progress is looked at only where the bar could move.
// Where the builds take different paths, both read the same bits and
// produce the same bytes and progress reports. The native tests build the
// size variant too (-DDECODE_FOR_SPEED=0).
#pragma once

#ifndef DECODE_FOR_SPEED
#ifdef _WIN32
#define DECODE_FOR_SPEED 0
#else
#define DECODE_FOR_SPEED 1
#endif
#endif

// DECODE_INLINE marks the few tiny helpers that every build inlines: the
// per-symbol fast paths of the bit reader and the byte source.
#define DECODE_INLINE inline __attribute__((always_inline))

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
