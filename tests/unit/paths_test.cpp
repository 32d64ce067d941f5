// Path rules: the folder separator rule with Shift-JIS, separators, and the
// check that keeps members inside the destination folder.
#include <gtest/gtest.h>

#include "session/paths.h"

namespace {

TEST(FolderSeparatorRule, AppendsOnlyWhereTheTextLacksOne) {
  EXPECT_FALSE(NeedsFolderSeparator(""));
  EXPECT_FALSE(NeedsFolderSeparator("\\"));
  EXPECT_FALSE(NeedsFolderSeparator("C:\\"));
  EXPECT_FALSE(NeedsFolderSeparator("C:\\Apps\\"));
  EXPECT_TRUE(NeedsFolderSeparator("C:\\Apps"));
  EXPECT_TRUE(NeedsFolderSeparator("C:"));
  // 表 = 0x95 0x5C and ソ = 0x83 0x5C end in a backslash code that is no separator.
  EXPECT_TRUE(NeedsFolderSeparator("C:\\\x95\\"));
  EXPECT_TRUE(NeedsFolderSeparator("C:\\\x83\\"));
  EXPECT_TRUE(NeedsFolderSeparator("C:\\\xE0\\"));
  // Half-width katakana (0xA0-0xDF) and 0xFD-0xFF are single-byte characters.
  EXPECT_FALSE(NeedsFolderSeparator("C:\\\xB1\\"));
  EXPECT_FALSE(NeedsFolderSeparator("C:\\\xFD\\"));
  EXPECT_FALSE(NeedsFolderSeparator("C:\\\x7F\\"));
}

TEST(FolderSeparatorRule, JoinNeverCutsAPathShort) {
  char out[16];
  EXPECT_TRUE(JoinFolderPath(out, sizeof out, "C:\\a", "b.exe"));
  EXPECT_STREQ(out, "C:\\a\\b.exe");
  EXPECT_TRUE(JoinFolderPath(out, sizeof out, "C:\\a\\", "b.exe"));
  EXPECT_STREQ(out, "C:\\a\\b.exe");
  EXPECT_TRUE(JoinFolderPath(out, sizeof out, "C:\\\x95\\", "b"));
  EXPECT_STREQ(out, "C:\\\x95\\\\b");
  EXPECT_TRUE(JoinFolderPath(out, sizeof out, "C:\\abc", "12345678"));  // 15 bytes exactly
  EXPECT_FALSE(JoinFolderPath(out, sizeof out, "C:\\abc", "123456789"));
  EXPECT_STREQ(out, "");
}

TEST(Separators, ReplaceSeparatorsKeepsSecondBytes) {
  char text[] = "a\\b/c\xFF" "d\x95\\e\xB1\\";
  ReplaceSeparators(text, '/');
  EXPECT_STREQ(text, "a/b/c/d\x95\\e\xB1/");
  char lead[] = "x\x95";  // a lead byte at the very end does not swallow the terminator
  ReplaceSeparators(lead, '/');
  EXPECT_STREQ(lead, "x\x95");
}

TEST(Separators, BackslashesToSlashesOverALength) {
  char text[] = "a\\b\x95\\c\xFF\\\x81\x7F\\";
  BackslashesToSlashes(text, sizeof text - 1);
  // 0x95 0x5C is a character; 0xFF stays; 0x81 0x7F is no character, so
  // the backslash after it is a separator.
  EXPECT_STREQ(text, "a/b\x95\\c\xFF/\x81\x7F/");
  char partial[] = "a\\b\\";
  BackslashesToSlashes(partial, 2);
  EXPECT_STREQ(partial, "a/b\\");
}

TEST(Separators, EndsWithSlash) {
  EXPECT_TRUE(EndsWithSlash("a/"));
  EXPECT_FALSE(EndsWithSlash("a"));
  EXPECT_FALSE(EndsWithSlash(""));
  EXPECT_TRUE(EndsWithSlash("\x95\\/"));
}

TEST(MemberPaths, OnlyPathsBelowTheDestinationAreSafe) {
  for (const char* safe : {"a.txt", "dir/a.txt", "..a", "a..", "a/..b/c", "./a", "\x95\\x.txt", "a b/c d"})
    EXPECT_TRUE(IsSafeMemberPath(safe)) << safe;
  for (const char* unsafe : {"../a", "a/../../b", "..", "a/..", "/a", "\\a", "//server/share/a", "C:a",
                             "C:/Windows/x", "a/b:stream", "... /a", "a/.. ./b", "a\\..\\b"})
    EXPECT_FALSE(IsSafeMemberPath(unsafe)) << unsafe;
}

}  // namespace
