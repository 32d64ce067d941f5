// Whole members through the decode driver: the cases of each method that
// the conformance corpora do not reach, and damaged members of every
// method, which must end with a wrong CRC (or the right bytes), never with
// a crash. This file also runs under AddressSanitizer and UBSan.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/progress.h"
#include "decode/adaptive_huffman.h"
#include "decode/bit_input.h"
#include "decode/driver.h"
#include "decode/static_huffman.h"

// The test programs are linked with --wrap=malloc: an allocator that,
// once asked to, lets `allocationsToSkip` calls through and fails the next
// `allocationsToFail`.
extern "C" void* __real_malloc(size_t size);
static int allocationsToSkip = 0, allocationsToFail = 0;
extern "C" void* __wrap_malloc(size_t size) {
  if (allocationsToFail > 0) {
    if (allocationsToSkip == 0) return --allocationsToFail, nullptr;
    --allocationsToSkip;
  }
  return __real_malloc(size);
}

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

unsigned Le16At(const std::string& s, size_t at) {
  return (unsigned char)s[at] | (unsigned char)s[at + 1] << 8;
}
uint32_t Le32At(const std::string& s, size_t at) { return Le16At(s, at) | (uint32_t)Le16At(s, at + 2) << 16; }

struct Member {
  int method;
  std::string packed;
  uint32_t original;
  uint16_t crc;
};

// The members of an LZH archive with headers of levels 0, 1 and 2.
std::vector<Member> ReadMembers(const std::string& archive) {
  std::vector<Member> members;
  size_t at = 0;
  while (at + 22 < archive.size() && archive[at] != 0) {
    const size_t size = (unsigned char)archive[at];
    const unsigned level = (unsigned char)archive[at + 20];
    Member m;
    m.method = methodIndex(archive.data() + at + 2);
    uint32_t packed = Le32At(archive, at + 7);
    m.original = Le32At(archive, at + 11);
    size_t data;
    if (level == 2) {
      data = at + Le16At(archive, at);
      m.crc = (uint16_t)Le16At(archive, at + 21);
    } else {
      m.crc = (uint16_t)Le16At(archive, at + 22 + (unsigned char)archive[at + 21]);
      data = at + size + 2;
      for (unsigned next = level == 1 ? Le16At(archive, at + size) : 0; next; next = Le16At(archive, data - 2)) {
        data += next;
        packed -= next;
      }
    }
    m.packed = archive.substr(data, packed);
    members.push_back(m);
    at = data + packed;
  }
  return members;
}

struct Decoded {
  int result;
  std::string bytes;
  uint16_t crc;
};

// Runs the driver over `packed` as a member of `method`; `after` stands for
// what follows the member in the archive.
Decoded Decode(int method, const std::string& packed, uint32_t original, const std::string& after = "") {
  FILE* archive = tmpfile();
  FILE* output = tmpfile();
  fwrite(packed.data(), 1, packed.size(), archive);
  fwrite(after.data(), 1, after.size(), archive);
  rewind(archive);
  Decoded run;
  run.result = decodeMember(method, archive, output, (uint32_t)packed.size(), original);
  run.crc = memberCrc;
  fflush(output);
  rewind(output);
  char buffer[4096];
  for (size_t got; (got = fread(buffer, 1, sizeof buffer, output)) > 0;) run.bytes.append(buffer, got);
  fclose(output);
  fclose(archive);
  return run;
}

// MSB-first bit strings for hand-made members.
struct Bits {
  std::string bytes;
  unsigned pending = 0, count = 0;
  Bits& put(unsigned value, unsigned width) {
    for (unsigned k = width; k-- > 0;) {
      pending = pending << 1 | ((value >> k) & 1);
      if (++count == 8) {
        bytes += (char)pending;
        pending = count = 0;
      }
    }
    return *this;
  }
  std::string done() const { return count ? bytes + (char)(pending << (8 - count)) : bytes; }
};

uint64_t Fnv1a(const std::string& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) h = (h ^ c) * 0x100000001b3ull;
  return h;
}

class DecodeMembers : public testing::Test {
 protected:
  void SetUp() override {
    buildCrc16Table();
    totalSize = completedSize = lastPercentage = 0;
    abortRequested = 0;
  }
  void TearDown() override { abortRequested = 0; }
};

// ---- -lh1- and -lh2-: long members (tests/data/decode, made by
// tests/tools/lzhgen/make-decode-fixtures.sh) ----

// Decodes the member symbol by symbol, as the driver does, and counts the
// rebuilds of the literal/length tree: its root weight then drops.
int CountRebuilds(const Member& m, const std::string& expectedBytes) {
  FILE* archive = tmpfile();
  fwrite(m.packed.data(), 1, m.packed.size(), archive);
  rewind(archive);
  DecodeState& ds = decodeState;
  ds.archiveStream = archive;
  ds.dictionaryBits = methodDictionaryBits[m.method];
  EXPECT_TRUE(fillInputBuffer((uint32_t)m.packed.size()));
  const MethodDecoder& row = methodDecoder(m.method);
  row.startMember(&ds);
  std::string out;
  int rebuilds = 0;
  for (ds.decodedCount = 0; ds.decodedCount < m.original;) {
    uint32_t before = ds.adaptiveNodes[0].nodeWeight;
    unsigned symbol = row.readSymbol(&ds);
    if (ds.adaptiveNodes[0].nodeWeight < before) ++rebuilds;
    if (symbol < 256) {
      out += (char)symbol;
      ++ds.decodedCount;
      continue;
    }
    unsigned distance = row.readDistance(&ds);
    for (unsigned k = 0; k < symbol - 253; ++k) out += distance < out.size() ? out[out.size() - distance - 1] : ' ';
    ds.decodedCount += symbol - 253;
  }
  releaseInputBuffer();
  fclose(archive);
  EXPECT_TRUE(out == expectedBytes);
  return rebuilds;
}

TEST_F(DecodeMembers, LongAdaptiveMembersRebuildTheTreeTwice) {
  for (const char* name : {"lh1-rebuilds.lzh", "lh2-rebuilds.lzh"}) {
    std::vector<Member> members = ReadMembers(ReadFile(std::string(VORN_TEST_DATA) + "/decode/" + name));
    ASSERT_EQ(members.size(), 1u) << name;
    const Member& m = members[0];
    Decoded run = Decode(m.method, m.packed, m.original);
    EXPECT_EQ(run.result, DECODE_DONE);
    EXPECT_EQ(run.crc, m.crc) << name;
    ASSERT_EQ(run.bytes.size(), 74000u) << name;
    EXPECT_EQ(Fnv1a(run.bytes), 0x6590ec8db2577ce9ull) << name;
    EXPECT_GE(CountRebuilds(m, run.bytes), 2) << name;
    if (m.method == METHOD_LH2) {
      // Past 8192 bytes of output the distance alphabet has all 128
      // symbols: 127 added leaves after the first.
      EXPECT_EQ(decodeState.lastDistanceNode, DISTANCE_ROOT + 2 * 127);
    }
  }
}

// ---- -lh3- ----

// A block header with a single literal/length value and the built-in
// distance code.
Bits& Lh3SingleSymbolBlock(Bits& bits, unsigned count, unsigned symbol) {
  bits.put(count, 16);
  for (int i = 0; i < 3; ++i) bits.put(1, 1).put(0, 4);  // three lengths of 1
  return bits.put(symbol, 9).put(0, 1);
}

TEST_F(DecodeMembers, Lh3SingleSymbolBlocksConsumeNoBitsPerSymbol) {
  Bits bits;
  Lh3SingleSymbolBlock(bits, 5, 'x');
  // 285 with 0xFF is a match of 287 bytes; distance symbol 0 of the
  // built-in code is 00, its low bits 0: the last byte again.
  Lh3SingleSymbolBlock(bits, 1, 285).put(0xFF, 8).put(0, 2).put(0, 6);
  Decoded run = Decode(METHOD_LH3, bits.done(), 5 + 287);
  EXPECT_EQ(run.bytes, std::string(5 + 287, 'x'));
}

TEST_F(DecodeMembers, Lh3BuiltInDistanceCodeReachesItsLongestCodes) {
  Bits bits;
  Lh3SingleSymbolBlock(bits, 1, 'z');
  // Distance symbol 127 has the last 9-bit code, 111111111; with its low
  // bits 63 the match starts 8192 bytes back, in the initial spaces.
  Lh3SingleSymbolBlock(bits, 1, 256).put(0x1FF, 9).put(63, 6);
  Decoded run = Decode(METHOD_LH3, bits.done(), 4);
  EXPECT_EQ(run.bytes, "z   ");
}

TEST_F(DecodeMembers, Lh3SingleDistanceBlocks) {
  Bits bits;
  // Block 1: the 256 byte values in order through a sent code that gives
  // every literal 8 bits (so a literal's code is its value).
  bits.put(256, 16);
  for (int i = 0; i < 286; ++i) i < 256 ? bits.put(1, 1).put(7, 4) : bits.put(0, 1);
  bits.put(0, 1);
  for (int i = 0; i < 256; ++i) bits.put(i, 8);
  // Block 2: single symbol 256 (3 bytes) and a single distance value 0:
  // each distance is its 6 low bits alone.
  bits.put(1, 16);
  for (int i = 0; i < 3; ++i) bits.put(1, 1).put(0, 4);
  bits.put(256, 9).put(1, 1);
  for (int i = 0; i < 3; ++i) bits.put(1, 4);
  bits.put(0, 10).put(9, 6);
  // Block 3: a single distance value of 130 lies outside the alphabet; its
  // low 7 bits, 2, are used: distance 2 * 64 + 5.
  bits.put(1, 16);
  for (int i = 0; i < 3; ++i) bits.put(1, 1).put(0, 4);
  bits.put(256, 9).put(1, 1);
  for (int i = 0; i < 3; ++i) bits.put(1, 4);
  bits.put(130, 10).put(5, 6);
  Decoded run = Decode(METHOD_LH3, bits.done(), 262);
  ASSERT_EQ(run.bytes.size(), 262u);
  std::string expected;
  for (int i = 0; i < 256; ++i) expected += (char)i;
  expected += expected.substr(256 - 10, 3);          // 10 bytes back
  expected += expected.substr(expected.size() - 134, 3);  // 134 bytes back
  EXPECT_EQ(run.bytes, expected);
}

// ---- -lzs- and -lz5- ----

TEST_F(DecodeMembers, LzsItems) {
  Bits bits;
  for (char c = 'a'; c <= 't'; ++c) bits.put(1, 1).put(c, 8);
  // Flag 0, position 0, length field 0: two bytes from ring position 17.
  bits.put(0, 1).put(0, 11).put(0, 4);
  // Position 2030 with length field 15: 17 bytes from ring position
  // (2030 + 17) mod 2048 = 2047, wrapping to the start.
  bits.put(0, 1).put(2030, 11).put(15, 4);
  Decoded run = Decode(METHOD_LZS, bits.done(), 20 + 2 + 17);
  EXPECT_EQ(run.bytes, "abcdefghijklmnopqrst" "rs" " " "abcdefghijklmnop");
}

struct Lz5 {
  std::string bytes;
  std::vector<std::string> items;
  std::string flags;
  Lz5& literal(unsigned char c) {
    items.push_back(std::string(1, (char)c));
    flags += '1';
    return *this;
  }
  Lz5& match(unsigned position, unsigned length) {
    items.push_back(std::string{(char)(position & 0xFF), (char)((position >> 4 & 0xF0) | (length - 3))});
    flags += '0';
    return *this;
  }
  std::string done() const {
    std::string out;
    for (size_t i = 0; i < items.size(); i += 8) {
      unsigned flag = 0;
      for (size_t k = 0; k < 8 && i + k < items.size(); ++k)
        if (flags[i + k] == '1') flag |= 1u << k;
      out += (char)flag;
      for (size_t k = 0; k < 8 && i + k < items.size(); ++k) out += items[i + k];
    }
    return out;
  }
};

// Matches at the start of a member copy from the initial dictionary: 18
// zero bytes, 13 copies of each byte value, the values rising, the values
// falling, 128 zero bytes, spaces.
TEST_F(DecodeMembers, Lz5InitialDictionary) {
  Lz5 lz5;
  for (char c : std::string("ABCDEFGH")) lz5.literal(c);  // flag byte 0xFF, eight literals
  lz5.match(4093, 3)        // from 15: the last of the 18 leading bytes, zero
      .match(0, 3)          // from 18: value 0, 13 times
      .match(46, 3)         // from 64: value 3
      .match(3338, 5)       // from 3356: rising 10, 11, ...
      .match(3584, 3)       // from 3602: falling 255, 254, ...
      .match(3882, 3)       // from 3900: the 128 zero bytes
      .match(3982, 3)       // from 4000: spaces
      .match(3000 - 18, 18);  // from 3000: value 229 up to 3007, then 230
  std::string expected = "ABCDEFGH";
  expected += std::string(3, '\0') + std::string(3, '\0') + std::string(3, '\3');
  expected += "\x0A\x0B\x0C\x0D\x0E" "\xFF\xFE\xFD";
  expected += std::string(3, '\0') + "   ";
  expected += std::string(8, (char)229) + std::string(10, (char)230);
  Decoded run = Decode(METHOD_LZ5, lz5.done(), (uint32_t)expected.size());
  EXPECT_EQ(run.bytes, expected);
}

// ---- driver ----

TEST_F(DecodeMembers, EmptyMemberStartsTheMethodButDecodesNothing) {
  decodeState.fixedDistanceSymbols = 7;
  Decoded run = Decode(METHOD_LH3, "\x12\x34", 0);
  EXPECT_EQ(run.result, DECODE_DONE);
  EXPECT_EQ(run.bytes, "");
  EXPECT_EQ(run.crc, 0);
  EXPECT_EQ(decodeState.fixedDistanceSymbols, 128);
}

// Past its data a member reads zero bits (never what follows it in the
// archive), but its decoder may take no more than PAST_END_BITS of them:
// past that the member fails at once, and nothing more is written. Members
// made by hand at the edge; then a member of every method whose size claims
// a megabyte more than its data holds: its output stops where its data
// does, instead of going on from zero bits up to the claimed size.
TEST_F(DecodeMembers, PastItsDataAMemberFailsOnceItsDecoderTakesMoreThanTheBound) {
  const std::string literalA = Bits().put(1, 1).put('A', 8).done();  // 9 bits of 16
  const struct {
    const char* what;
    int method;
    std::string packed;
    uint32_t original;
    int result;
    std::string bytes;
  } cases[] = {
      // Then 2-byte matches from ring position 17, 16 zero bits each.
      {"-lzs-, 9 bits beyond", METHOD_LZS, literalA, 3, DECODE_DONE, "A  "},
      {"-lzs-, 25 bits beyond", METHOD_LZS, literalA, 5, DECODE_FAILED, ""},
      // Then a 3-byte match from position 18, two zero bytes.
      {"-lz5-, 16 bits beyond", METHOD_LZ5, Lz5().literal('a').done(), 2, DECODE_DONE, std::string("a\0\0\0", 4)},
      // A flag byte and a match, all of zero bytes.
      {"-lz5-, 24 bits beyond", METHOD_LZ5, "", 7, DECODE_FAILED, ""},
  };
  for (const auto& c : cases) {
    Decoded run = Decode(c.method, c.packed, c.original, "\xFF\x41\x41\x41");
    EXPECT_EQ(run.result, c.result) << c.what;
    EXPECT_EQ(run.bytes, c.bytes) << c.what;
    if (run.result == DECODE_FAILED) EXPECT_EQ(decodeState.memberFailed, MEMBER_CUT_SHORT) << c.what;
  }
  for (const char* name : {"lh1", "lh2", "lh3", "lh4", "lh5", "lh6", "lh7", "lzs", "lz5"}) {
    const Member m = ReadMembers(ReadFile(std::string(VORN_CORPUS_DIR) + "/jlha/" + name + "-h2.lzh"))[0];
    const std::string whole = Decode(m.method, m.packed, m.original).bytes;  // 60000 bytes of text
    Decoded run = Decode(m.method, m.packed, m.original + 1000000);
    EXPECT_EQ(run.result, DECODE_FAILED) << name;
    EXPECT_LE(run.bytes.size(), whole.size() + LONGEST_MATCH) << name;
    EXPECT_TRUE(whole.compare(0, run.bytes.size(), run.bytes.substr(0, whole.size())) == 0) << name;
  }
}

// Clearing the continue flag stops the member after the symbol in
// progress; bytes not yet written out with a full dictionary stay unwritten.
TEST_F(DecodeMembers, AbortStopsAfterOneSymbol) {
  abortRequested = 1;
  Decoded run = Decode(METHOD_LZ5, Lz5().literal('a').literal('b').done(), 2);
  EXPECT_EQ(run.result, DECODE_ABORTED);
  EXPECT_EQ(run.bytes, "");
}

// Memory running short on a later member: the dictionary is had, but
// neither input buffer (the member's size, then the fallback). The member
// fails, the previous member's buffer is not freed twice, and the next
// member decodes as if nothing had happened.
TEST_F(DecodeMembers, InputBufferShortageFailsOnlyThatMember) {
  const std::string member = Lz5().literal('a').literal('b').done();
  EXPECT_EQ(Decode(METHOD_LZ5, member, 2).bytes, "ab");
  allocationsToSkip = 1;
  allocationsToFail = 2;
  EXPECT_EQ(Decode(METHOD_LZ5, member, 2).result, DECODE_FAILED);
  EXPECT_EQ(allocationsToFail, 0);
  Decoded after = Decode(METHOD_LZ5, member, 2);
  EXPECT_EQ(after.result, DECODE_DONE);
  EXPECT_EQ(after.bytes, "ab");
}

// Output longer than the dictionary leaves through whole-dictionary writes;
// a match that runs past the uncompressed size is written whole.
TEST_F(DecodeMembers, FullDictionariesAreWrittenAndLastMatchIsWhole) {
  Bits bits;
  bits.put(1, 1).put('q', 8);
  // Matches of 17 bytes, each starting at the byte before it.
  for (unsigned ring = 1; ring < 1 + 17 * 300; ring += 17) bits.put(0, 1).put((ring - 1 - 17) & 0x7FF, 11).put(15, 4);
  Decoded run = Decode(METHOD_LZS, bits.done(), 2048 * 2 + 10);
  EXPECT_EQ(run.bytes, std::string(1 + 17 * 242, 'q'));
}

// ---- damaged members ----

struct Damage {
  uint32_t state;
  uint32_t next() { return state = state * 1664525u + 1013904223u; }
};

// Each damaged member must either decode to its end (the driver stops at
// the uncompressed size) and give the original bytes or a CRC that differs
// from the header's, or fail because its decoder ran past its data.
void ExpectCaughtOrHarmless(const Member& m, const std::string& original, const std::string& packed,
                            const std::string& what) {
  Decoded run = Decode(m.method, packed, m.original, "\x00\x01\x02\x03");
  if (run.result == DECODE_FAILED) {
    EXPECT_EQ(decodeState.memberFailed, MEMBER_CUT_SHORT) << what;
    return;
  }
  ASSERT_EQ(run.result, DECODE_DONE) << what;
  EXPECT_TRUE(run.crc != m.crc || run.bytes == original) << what;
}

TEST_F(DecodeMembers, DamagedMembersOfEveryMethodEndCleanly) {
  const char* archives[] = {"lh1", "lh2", "lh3", "lh4", "lh5", "lh6", "lh7", "lzs", "lz5"};
  for (const char* name : archives) {
    std::vector<Member> members = ReadMembers(ReadFile(std::string(VORN_CORPUS_DIR) + "/jlha/" + name + "-h2.lzh"));
    ASSERT_FALSE(members.empty()) << name;
    const Member& m = members[0];  // 60000 bytes of text
    Decoded clean = Decode(m.method, m.packed, m.original);
    ASSERT_EQ(clean.crc, m.crc) << name;
    Damage damage{(uint32_t)m.method * 7919u};
    for (int round = 0; round < 12; ++round) {
      std::string packed = m.packed;
      for (int flips = 1 + round % 3; flips > 0; --flips)
        packed[damage.next() % packed.size()] ^= (char)(1 + damage.next() % 255);
      ExpectCaughtOrHarmless(m, clean.bytes, packed, std::string(name) + " flipped, round " + std::to_string(round));
    }
    for (size_t keep : {size_t(0), size_t(1), size_t(7), m.packed.size() / 3, m.packed.size() - 1})
      ExpectCaughtOrHarmless(m, clean.bytes, m.packed.substr(0, keep), std::string(name) + " cut to " + std::to_string(keep));
  }
}

// Random bytes as members of every method, of random sizes: the decoders
// must stay inside their tables whatever they read.
TEST_F(DecodeMembers, RandomBytesAsMembersOfEveryMethodEndCleanly) {
  Damage random{2024};
  for (int method = METHOD_LH1; method <= METHOD_LZ5; ++method) {
    for (int round = 0; round < 25; ++round) {
      std::string packed(random.next() % 3000, '\0');
      for (char& c : packed) c = (char)(random.next() >> 24);
      uint32_t original = random.next() % 40000;
      Decoded run = Decode(method, packed, original);
      if (run.result == DECODE_FAILED) {
        EXPECT_EQ(decodeState.memberFailed, MEMBER_CUT_SHORT);  // its decoder ran past its data
        continue;
      }
      EXPECT_EQ(run.result, DECODE_DONE);
      EXPECT_GE(run.bytes.size(), original);
    }
  }
}

// Code lengths that ask for far more short codes than a table holds (the
// codes wrap around many times): every entry they write lies inside the
// table; nothing else in the decoders' state changes.
TEST_F(DecodeMembers, OverfullShortCodesStayInsideTheirTable) {
  DecodeState& ds = decodeState;
  Damage random{99};
  for (unsigned tableBits : {(unsigned)AUX_TABLE_BITS, (unsigned)SYMBOL_TABLE_BITS}) {
    const bool aux = tableBits == AUX_TABLE_BITS;
    const unsigned n = aux ? AUX_LENGTHS : LITERAL_LENGTH_SYMBOLS;
    unsigned char* lengths = aux ? ds.auxLengths : ds.symbolLengths;
    const unsigned char* table = (const unsigned char*)(aux ? ds.auxTable : ds.symbolTable);
    const unsigned char* state = (const unsigned char*)&ds;
    const size_t tableFrom = (size_t)(table - state), tableTo = tableFrom + (2u << tableBits);
    for (int round = 0; round < 40; ++round) {
      for (unsigned s = 0; s < n; ++s) lengths[s] = (unsigned char)(1 + (random.next() >> 8) % tableBits);
      if (round % 2) memset(lengths, 1, n);  // each code the first or second half
      std::vector<unsigned char> before(state, state + sizeof ds);
      buildDecodeTable(n, tableBits);
      for (size_t i = 0; i < sizeof ds; ++i)
        if (i < tableFrom || i >= tableTo) ASSERT_EQ(state[i], before[i]) << "byte " << i << ", table bits " << tableBits;
    }
  }
}

// The variant of -lh7- written by LHark is not this format: its members
// fail, by their CRC or by a decoder that runs past their data.
TEST_F(DecodeMembers, LharkVariantOfLh7FailsItsCrc) {
  for (const char* name : {"lh7.lzh", "lh7_long.lzh"}) {
    std::vector<Member> members = ReadMembers(ReadFile(std::string(VORN_CORPUS_DIR) + "/peer/lhark04d/" + name));
    ASSERT_FALSE(members.empty()) << name;
    for (const Member& m : members) {
      ASSERT_EQ(m.method, METHOD_LH7) << name;
      Decoded run = Decode(m.method, m.packed, m.original);
      EXPECT_TRUE(run.result == DECODE_FAILED || (run.result == DECODE_DONE && run.crc != m.crc)) << name;
    }
  }
}

}  // namespace
