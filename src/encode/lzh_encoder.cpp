#include "lzh_encoder.h"

#include <string.h>

#include <algorithm>

#include "encoder_state.h"

namespace {

const StaticMethod kMethods[] = {
    {"-lh5-", 13, {14, 4}},
    {"-lh6-", 15, {16, 5}},
    {"-lh7-", 16, {17, 5}},
};

const LevelSettings kLevels[MAX_LEVEL + 1] = {
    {GREEDY, {0, 0}, 0, 0},  // no level 0
    {GREEDY, {2, 4}, 16, 0},
    {GREEDY, {4, 16}, 32, 0},
    {LAZY, {4, 16}, 32, 12},
    {LAZY, {8, 32}, 64, 16},
    {LAZY, {16, 64}, 256, 256},
    {LAZY, {32, 256}, 256, 256},
    {OPTIMAL, {8, 32}, 64, 0},
    {OPTIMAL, {16, 128}, 128, 0},
    {OPTIMAL, {32, 256}, 256, 0},
};

enum {
  OUTPUT_CHUNK = 1 << 20,
};

// The compressed data so far, and where it goes.
struct Output {
  FILE* file;
  uint64_t written = 0;
  uint64_t limit;  // the member's size: no gain at this many bytes
  bool failed = false;
};

bool ReachedLimit(const Output& out, const BitWriter& bits) { return out.written + bits.used >= out.limit; }

// The most bits the writer may hold with the output still shorter than the
// member: one byte less than the member, in bits.
uint64_t MaxBits(const Output& out) { return out.written < out.limit ? 8 * (out.limit - out.written - 1) : 0; }

void WriteOut(Output& out, BitWriter& bits, size_t atLeast) {
  if (bits.used < atLeast || !bits.used) return;
  if (fwrite(bits.bytes.data(), 1, bits.used, out.file) != bits.used) out.failed = true;
  out.written += bits.used;
  bits.used = 0;
}

}  // namespace

const StaticMethod kDefaultMethod = kMethods[2];

const StaticMethod* StaticMethodNamed(const char* name) {
  for (const StaticMethod& method : kMethods)
    if (strcmp(name, method.id) == 0 || (strncmp(name, method.id + 1, 3) == 0 && !name[3])) return &method;
  return nullptr;
}

EncodeResult EncodeMember(FILE* input, FILE* output, const StaticMethod& method, int level, uint64_t size) {
  Encoder e;
  e.method = &method;
  e.settings = kLevels[std::clamp(level, (int)MIN_LEVEL, (int)MAX_LEVEL)];
  StartMatchFinder(e.finder, method.dictionaryBits, size);
  StartParse(e);
  e.pending.reset(new LzSymbol[(size_t)std::min<uint64_t>(PENDING_ROOM, size + 1)]);  // a symbol takes a byte at least
  Output out = {output, 0, size};
  const off_t start = ftello(output);
  auto result = [&](EncodeStatus status) {
    const MatchFinder& f = e.finder;
    if (status == ENCODE_NOT_SHRUNK && f.base == 0 && f.inputEnded && !f.readFailed && f.end == size) {
      // The whole member is in the window: no second reading.
      const bool written = fseeko(output, start, SEEK_SET) == 0 && fwrite(f.buffer.data(), 1, f.end, output) == f.end;
      return EncodeResult{written ? ENCODE_STORED : ENCODE_WRITE_FAILED, f.end, f.end, f.crc};
    }
    return EncodeResult{status, f.end, out.written, f.crc};
  };
  for (uint64_t position = 0;;) {
    FillWindow(e.finder, input, position, PARSE_STEP + MAX_MATCH);
    if (position >= e.finder.end) break;
    const uint64_t lookaheadEnd = e.finder.inputEnded ? e.finder.end : e.finder.end - MAX_MATCH;
    position = Parse(e, position, std::min(lookaheadEnd, position + PARSE_STEP));
    if (e.pendingCount >= SYMBOLS_TO_DIVIDE) {
      if (!EmitBlocks(e, false, MaxBits(out)) || ReachedLimit(out, e.bits)) return result(ENCODE_NOT_SHRUNK);
      WriteOut(out, e.bits, OUTPUT_CHUNK);
    }
  }
  if (e.finder.readFailed) return result(ENCODE_READ_FAILED);
  if (!EmitBlocks(e, true, MaxBits(out))) return result(ENCODE_NOT_SHRUNK);
  FlushBits(e.bits);
  if (ReachedLimit(out, e.bits)) return result(ENCODE_NOT_SHRUNK);
  WriteOut(out, e.bits, 0);
  return result(out.failed ? ENCODE_WRITE_FAILED : ENCODE_DONE);
}
