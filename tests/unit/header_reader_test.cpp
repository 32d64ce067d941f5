// LZH member headers of levels 0, 1 and 2, and the MS-DOS time stamp.
#include <gtest/gtest.h>

#include "archive/header_reader.h"
#include "test_support.h"

namespace {

class HeaderReader : public testing::Test {
 protected:
  // Reads the first header of `archive`; `rest` gets what follows it.
  bool Read(const std::string& archive, std::string* rest = nullptr) {
    SessionOnBytes on(archive);
    bool read = ReadMemberHeader(&on.session, &entry);
    if (rest) {
      rest->clear();
      int c;
      while ((c = fgetc(on.session.own_file)) != EOF) *rest += (char)c;
    }
    return read;
  }
  bool Unknown() const { return entry.end == ARCHIVE_UNKNOWN_HEADER; }
  LzhEntry entry;
};

TEST_F(HeaderReader, EndOfArchive) {
  EXPECT_FALSE(Read(""));
  EXPECT_EQ(entry.end, ARCHIVE_CLEAN_END);
  EXPECT_FALSE(Read(std::string(1, '\0') + "trailing"));
  EXPECT_EQ(entry.end, ARCHIVE_CLEAN_END);
  EXPECT_FALSE(Read(Level0Member({.name = "a.txt", .data = "abc"}).substr(0, 10)));
  EXPECT_EQ(entry.end, ARCHIVE_CUT_SHORT);
}

TEST_F(HeaderReader, Level0Fields) {
  std::string rest;
  ASSERT_TRUE(Read(Level0Member({.method = "-lh5-", .name = "dir\\file.txt", .data = "DATA", .stamp = 0x00210000}) + "NEXT", &rest));
  EXPECT_EQ(std::string(entry.method_id, 5), "-lh5-");
  EXPECT_STREQ(entry.name, "dir/file.txt");
  EXPECT_EQ(entry.packed_size, 4);
  EXPECT_EQ(entry.original_size, 4);
  EXPECT_TRUE(entry.has_crc);
  EXPECT_EQ(entry.crc, Crc16("DATA"));
  EXPECT_EQ(rest, "DATANEXT");
}

TEST_F(HeaderReader, Level0WithoutCrcAndWithExtensionArea) {
  ASSERT_TRUE(Read(Level0Member({.name = "a", .data = "x"}, false)));
  EXPECT_FALSE(entry.has_crc);
  std::string rest;
  ASSERT_TRUE(Read(Level0Member({.name = "a", .data = "x"}, true, "U\x01\x02\x03\x04") + "!", &rest));
  EXPECT_TRUE(entry.has_crc);
  EXPECT_EQ(rest, "x!");
}

TEST_F(HeaderReader, SizesThatFitNoLayoutAreUnknown) {
  // S - N of 21 and 23: one byte more than a layout allows.
  for (const std::string& extra : {std::string("\x01", 1), std::string("\x01\x02\x03", 3)}) {
    std::string member = Level0Member({.name = "a"}, false, "");
    std::string body = member.substr(2) + extra;
    EXPECT_FALSE(Read(std::string(1, (char)body.size()) + '\0' + body));
    EXPECT_TRUE(Unknown());
  }
  EXPECT_FALSE(Read(std::string("\x05\x00-lh0-", 7) + std::string(30, '\0')));  // too small for its fields
  EXPECT_TRUE(Unknown());
  std::string level3 = Level0Member({.name = "a"});
  level3[20] = 3;
  EXPECT_FALSE(Read(level3));
  EXPECT_TRUE(Unknown());
}

TEST_F(HeaderReader, Level1ExtendedNameAndPackedSize) {
  MemberSpec m{.name = "short", .data = "payload"};
  m.extended = {{0x01, "extended-name.txt"}, {0x00, "\x12\x34"}};
  std::string rest;
  ASSERT_TRUE(Read(Level1Member(m) + "NEXT", &rest));
  EXPECT_STREQ(entry.name, "extended-name.txt");
  EXPECT_EQ(entry.packed_size, 7);  // stored size less both extended headers
  EXPECT_EQ(rest, "payloadNEXT");
}

TEST_F(HeaderReader, Level2FolderAndFileNames) {
  MemberSpec m{.data = "c"};
  m.extended = {{0x02, "a\xff" "b\xff"}, {0x01, "c"}};
  ASSERT_TRUE(Read(Level2Member(m)));
  EXPECT_STREQ(entry.name, "a/b/c");
  EXPECT_EQ(entry.mtime, 0);
}

TEST_F(HeaderReader, FolderWithoutTrailingSeparatorGetsOne) {
  MemberSpec m{.data = "hi"};
  m.extended = {{0x02, "subdir\xffsubdir2"}, {0x01, "hello.txt"}};
  ASSERT_TRUE(Read(Level2Member(m)));
  EXPECT_STREQ(entry.name, "subdir/subdir2/hello.txt");
  MemberSpec folderOnly{.method = "-lhd-"};
  folderOnly.extended = {{0x02, "emptydir"}};
  ASSERT_TRUE(Read(Level1Member(folderOnly)));
  EXPECT_STREQ(entry.name, "emptydir/");
}

TEST_F(HeaderReader, AttributeHeaderIsSkippedWhole) {
  MemberSpec unixMember{.data = "x", .osId = 'U'};
  unixMember.extended = {{0x40, std::string("\x11\x00\x77", 3)}, {0x01, "file"}};
  ASSERT_TRUE(Read(Level2Member(unixMember)));
  EXPECT_STREQ(entry.name, "file");
}

TEST_F(HeaderReader, ShiftJisNamesKeepTheirSecondBytes) {
  // 表 (0x95 0x5C) stays; a lone backslash becomes a slash.
  ASSERT_TRUE(Read(Level0Member({.name = "\x95\x5C\\x", .data = ""})));
  EXPECT_STREQ(entry.name, "\x95\x5C/x");
  MemberSpec m{.data = ""};
  m.extended = {{0x02, "\x93\xfa\x96\x7b\x8c\xea\xff"}, {0x01, "\x83\x74\x83\x40\x83\x43\x83\x8b.bin"}};
  ASSERT_TRUE(Read(Level1Member(m)));
  EXPECT_STREQ(entry.name, "\x93\xfa\x96\x7b\x8c\xea/\x83\x74\x83\x40\x83\x43\x83\x8b.bin");
}

TEST_F(HeaderReader, Level2HeadersOf256BytesAndMore) {
  for (size_t nameLength : {200u, 229u, 230u, 486u, 1000u}) {
    MemberSpec m{.data = "x"};
    m.extended = {{0x01, std::string(nameLength, 'n')}};
    std::string member = Level2Member(m);
    std::string rest;
    ASSERT_TRUE(Read(member + "NEXT", &rest)) << nameLength;
    EXPECT_EQ(strlen(entry.name), std::min<size_t>(nameLength, 259));
    EXPECT_EQ(entry.name_too_long, nameLength > 259);
    EXPECT_EQ(rest, "xNEXT") << nameLength;
  }
}

TEST_F(HeaderReader, DamagedExtendedChainsAreRefused) {
  MemberSpec m{.data = "x"};
  m.extended = {{0x01, "name"}};
  std::string member = Level2Member(m);
  std::string pastEnd = member;
  pastEnd[24] = 0x40;  // the first extended header claims more than the header holds
  EXPECT_FALSE(Read(pastEnd));
  EXPECT_TRUE(Unknown());
  for (char tiny : {'\x01', '\x02'}) {
    std::string shortHeader = member;
    shortHeader[24] = tiny;
    EXPECT_FALSE(Read(shortHeader));
    EXPECT_TRUE(Unknown());
  }
  MemberSpec big{.data = "x"};
  big.extended = {{0x01, std::string(5000, 'n')}};
  EXPECT_FALSE(Read(Level2Member(big)));  // larger than the header buffer
  EXPECT_TRUE(Unknown());
}

TEST_F(HeaderReader, Level1ExtendedHeaderBeyondTheBufferEndsQuietly) {
  MemberSpec m{.name = "a", .data = "x"};
  m.extended = {{0x01, std::string(4090, 'n')}};
  EXPECT_FALSE(Read(Level1Member(m)));
  EXPECT_EQ(entry.end, ARCHIVE_CUT_SHORT);
}

TEST_F(HeaderReader, NegativeSizesAreRefused) {
  MemberSpec m{.name = "a", .data = "x"};
  std::string member = Level0Member(m);
  member[10] = '\x80';  // packed size 0x80000001
  EXPECT_FALSE(Read(member));
  EXPECT_TRUE(Unknown());
}

TEST(DosTimeToUnixTime, Conversions) {
  // Local time east of Greenwich, without daylight saving: the stamp's
  // offset must be taken off.
  const char* savedZone = getenv("TZ");
  std::string saved = savedZone ? savedZone : "";
  setenv("TZ", "JST-9", 1);
  tzset();
  long zone = timezone;
  ASSERT_EQ(zone, -9 * 3600);
  EXPECT_EQ(DosTimeToUnixTime(0), 0);
  EXPECT_EQ(DosTimeToUnixTime(0x00210000), 315532800 + zone);  // 1980-01-01 00:00:00
  // 2000-02-29 and 2000-03-01 (2000 is a leap year: divisible by 400).
  uint32_t feb29 = (20u << 25) | (2u << 21) | (29u << 16);
  uint32_t mar1 = (20u << 25) | (3u << 21) | (1u << 16);
  EXPECT_EQ(DosTimeToUnixTime(mar1) - DosTimeToUnixTime(feb29), 86400);
  EXPECT_EQ(DosTimeToUnixTime(feb29), 951782400 + zone);
  // 2100 is not a leap year: 1 March follows 28 February.
  uint32_t feb28of2100 = (120u << 25) | (2u << 21) | (28u << 16);
  uint32_t mar1of2100 = (120u << 25) | (3u << 21) | (1u << 16);
  EXPECT_EQ((uint32_t)DosTimeToUnixTime(mar1of2100) - (uint32_t)DosTimeToUnixTime(feb28of2100), 86400u);
  // 2023-11-15 12:34:56
  uint32_t stamp = (43u << 25) | (11u << 21) | (15u << 16) | (12u << 11) | (34u << 5) | 28u;
  EXPECT_EQ(DosTimeToUnixTime(stamp), 1700051696 + zone);
  // Months 13 to 15 do not exist; they are read as December.
  uint32_t december = (43u << 25) | (12u << 21) | (1u << 16);
  EXPECT_EQ(DosTimeToUnixTime((43u << 25) | (15u << 21) | (1u << 16)), DosTimeToUnixTime(december));
  // Month 0 is read as January; days, hours, minutes and seconds beyond
  // their range carry on from the start of the month: 2023-01-00 is
  // 2022-12-31, 2023-02-31 is 2023-03-03, 31:63:62 is a day 08:04:02 on.
  uint32_t jan1 = (43u << 25) | (1u << 21) | (1u << 16);
  EXPECT_EQ(DosTimeToUnixTime((43u << 25) | (0u << 21) | (1u << 16)), DosTimeToUnixTime(jan1));
  EXPECT_EQ(DosTimeToUnixTime((43u << 25) | (1u << 21)), 1672444800 + zone);
  EXPECT_EQ(DosTimeToUnixTime((43u << 25) | (2u << 21) | (31u << 16)), 1677801600 + zone);
  EXPECT_EQ(DosTimeToUnixTime(jan1 | (31u << 11) | (63u << 5) | 31u), 1672531200 + 86400 + 8 * 3600 + 4 * 60 + 2 + zone);
  // The last MS-DOS year lies beyond the 32-bit field: its low 32 bits.
  uint32_t lastDay = (127u << 25) | (12u << 21) | (31u << 16);
  EXPECT_EQ((uint32_t)DosTimeToUnixTime(lastDay), (uint32_t)(4354732800ull + zone));
  if (savedZone) setenv("TZ", saved.c_str(), 1);
  else unsetenv("TZ");
  tzset();
}

}  // namespace
