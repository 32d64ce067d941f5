// The CRC-16 of written bytes, the per-member input buffer and the MSB-first
// bit reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "decode/bit_input.h"
#include "win32_host.h"

namespace {

uint16_t CrcOf(const std::string& bytes) {
  memberCrc = 0;
  addToCrc((const unsigned char*)bytes.data(), (uint32_t)bytes.size());
  return memberCrc;
}

// Puts `bytes` (and `after`, standing for whatever follows the member in
// the archive) into a stream and sets the reader up for a member of
// bytes.size() compressed bytes, as the driver does.
class BitInput : public testing::Test {
 protected:
  void SetUp() override { buildCrc16Table(); }
  void TearDown() override {
    if (stream_) {
      releaseInputBuffer();
      fclose(stream_);
    }
    HostSetAvailablePhysicalMemory(0);
  }
  void Start(const std::string& bytes, const std::string& after = "") {
    stream_ = tmpfile();
    fwrite(bytes.data(), 1, bytes.size(), stream_);
    fwrite(after.data(), 1, after.size(), stream_);
    rewind(stream_);
    decodeState.archiveStream = stream_;
    ASSERT_TRUE(fillInputBuffer((uint32_t)bytes.size()));
  }
  FILE* stream_ = nullptr;
};

TEST_F(BitInput, CrcIsCrc16Arc) {
  EXPECT_EQ(decodeState.crc16Table[1][0], 0xC0C1);
  EXPECT_EQ(decodeState.crc16Table[128][0], 0xA001);
  EXPECT_EQ(decodeState.crc16Table[255][0], 0x4040);
  EXPECT_EQ(CrcOf("123456789"), 0xBB3D);
  EXPECT_EQ(CrcOf("abc"), 0x9738);
  EXPECT_EQ(CrcOf(""), 0);
}

// Any split of the bytes into pieces gives the CRC of the whole, whatever
// the lengths and alignments of the pieces.
TEST_F(BitInput, CrcOfPiecesIsCrcOfWhole) {
  std::string bytes;
  uint32_t x = 12345;
  for (int i = 0; i < 1000; ++i) bytes += (char)((x = x * 1103515245 + 12345) >> 16);
  uint16_t whole = CrcOf(bytes);
  for (size_t piece : {1, 3, 7, 8, 9, 15, 16, 17, 64, 999}) {
    memberCrc = 0;
    for (size_t at = 0; at < bytes.size(); at += piece)
      addToCrc((const unsigned char*)bytes.data() + at, (uint32_t)std::min(piece, bytes.size() - at));
    EXPECT_EQ(memberCrc, whole) << piece;
  }
}

TEST_F(BitInput, ReadsMostSignificantBitFirstThenZeros) {
  Start("\xA5\x0F", "\xFF\xFF\xFF\xFF");
  startBits();
  EXPECT_EQ(decodeState.compressedLeft, 0u);  // both bytes are fetched at once
  EXPECT_EQ(readBits(4), 0xAu);
  EXPECT_EQ(readBits(0), 0u);
  EXPECT_EQ(readBits(8), 0x50u);
  EXPECT_EQ(readBits(4), 0xFu);
  // Past the member's compressed size only zero bits come, never the
  // bytes that follow it in the archive.
  for (int i = 0; i < 10; ++i) EXPECT_EQ(readBits(16), 0u);
}

TEST_F(BitInput, LongReadsAndDropsKeepTheirPlace) {
  std::string bytes;
  for (int i = 0; i < 80; ++i) bytes += (char)(i * 37 + 11);
  Start(bytes);
  startBits();
  // Take the stream apart in uneven pieces, dropping some pieces unread,
  // and compare with the bits taken from the bytes directly.
  auto bitAt = [&](size_t n) { return (((unsigned char)bytes[n / 8]) >> (7 - n % 8)) & 1u; };
  size_t at = 0;
  const unsigned widths[] = {1, 16, 3, 0, 13, 9, 16, 16, 2, 7, 5, 11, 16, 8};
  for (int round = 0; round < 4; ++round) {
    for (unsigned width : widths) {
      unsigned expected = 0;
      for (unsigned k = 0; k < width; ++k) expected = expected << 1 | bitAt(at + k);
      ASSERT_EQ(peekBits16() >> (16 - width) & ((1u << width) - 1), expected) << at;
      if (width % 2) {
        dropBits(width);
      } else {
        ASSERT_EQ(readBits(width), expected) << at;
      }
      at += width;
    }
  }
  ASSERT_LT(at, bytes.size() * 8);
}

// With little free memory the member is read through a smaller buffer,
// refilled whole as it runs out; the bytes still come in order.
TEST_F(BitInput, SmallBufferIsRefilledWhole) {
  HostSetAvailablePhysicalMemory(7);
  std::string bytes;
  for (int i = 0; i < 100; ++i) bytes += (char)(i + 1);
  Start(bytes, "\x77\x77");
  EXPECT_EQ(decodeState.inputBufferSize, 7u);
  std::string got;
  for (int i = 0; i < 102; ++i) got += (char)nextCompressedByte();
  EXPECT_EQ(got, bytes + std::string(2, '\0'));
}

TEST_F(BitInput, BitsComeThroughASmallBuffer) {
  HostSetAvailablePhysicalMemory(5);
  std::string bytes;
  for (int i = 0; i < 100; ++i) bytes += (char)(i * 7 + 3);
  Start(bytes, "\x77\x77");
  startBits();
  std::string got;
  for (int i = 0; i < 100; i += 2) {
    unsigned pair = readBits(16);
    got += (char)(pair >> 8);
    got += (char)pair;
  }
  EXPECT_EQ(got, bytes);
  EXPECT_EQ(readBits(16), 0u);
}

// A member without compressed bytes gets an empty buffer that is never
// read: the bit reader and the byte source give zeros.
TEST_F(BitInput, EmptyMemberGivesZeros) {
  Start("", "\x55\x55\x55\x55");
  EXPECT_EQ(decodeState.inputBufferSize, 0u);
  EXPECT_EQ(nextCompressedByte(), 0u);
  startBits();
  EXPECT_EQ(readBits(16), 0u);
  EXPECT_EQ(readBits(16), 0u);
}

}  // namespace
