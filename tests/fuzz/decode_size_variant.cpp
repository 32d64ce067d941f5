// The decoders as the stub has them (the size variant), compiled once more
// inside a namespace of their own, so that the decoder harness can run them
// beside the speed variant in one program: their functions, tables and
// state are all distinct from the speed variant's.
//
// The headers that own hot helpers come first (their *_OWNER macro is set
// by their .cpp file); the C runtime is included outside the namespace.
#define DECODE_FOR_SPEED 0
#include "platform.h"
#include <stddef.h>

namespace size_variant {
#include "decode/bit_input.cpp"
#include "decode/static_huffman.cpp"
#include "decode/adaptive_huffman.cpp"
#include "decode/lh3.cpp"
#include "decode/lzs_lz5.cpp"
#include "decode/driver.cpp"
}  // namespace size_variant

// The one field of the variant's state the harness looks at (the record's
// layout is the variant's own).
namespace size_variant {
uint16_t MemberCrc() { return decodeState.memberCrc; }
}  // namespace size_variant
