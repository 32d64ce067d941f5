// The command-line tail and the unattended-installation scanner.
#include <gtest/gtest.h>

#include "session/command_line.h"
#include "test_support.h"

namespace {

TEST(CommandLineTail, SkipsTheProgramNameQuotedOrNot) {
  EXPECT_STREQ(CommandLineTail("\"C:\\Program Files\\setup.exe\"  /m lzh"), "/m lzh");
  EXPECT_STREQ(CommandLineTail("setup.exe\t \"D:\\x\""), "\"D:\\x\"");
  EXPECT_STREQ(CommandLineTail("setup.exe"), "");
  EXPECT_STREQ(CommandLineTail("\"unterminated name"), "");
  // Every character from 1 to 32 counts as a separator after the name.
  EXPECT_STREQ(CommandLineTail("a.exe\x01\x1f lzh"), "lzh");
}

struct Parsed {
  SfxSession session;
  explicit Parsed(const char* tail) {
    InitSession(&session, nullptr);
    ParseCommandLine(&session, tail);
  }
  ~Parsed() { CloseSession(&session); }
  int AssociatedCount() const {
    int n = 0;
    for (bool a : session.associate) n += a;
    return n;
  }
};

TEST(ParseCommandLine, EmptyTailChangesNothing) {
  Parsed p("");
  EXPECT_FALSE(p.session.command_line_mode);
  EXPECT_EQ(p.session.destination, nullptr);
  EXPECT_EQ(p.AssociatedCount(), 0);
}

TEST(ParseCommandLine, FullUnattendedLine) {
  Parsed p("\"D:\\Apps\" /mdt lzh ZIP /c /a");
  ASSERT_NE(p.session.destination, nullptr);
  EXPECT_STREQ(p.session.destination, "D:\\Apps");
  EXPECT_EQ(p.session.start_menu_option, OPTION_CHOSEN);
  EXPECT_EQ(p.session.desktop_option, OPTION_CHOSEN);
  EXPECT_EQ(p.session.send_to_option, OPTION_CHOSEN);
  EXPECT_TRUE(p.session.associate[0]);
  EXPECT_TRUE(p.session.associate[1]);
  EXPECT_EQ(p.AssociatedCount(), 2);
  EXPECT_TRUE(p.session.view_menu);
  EXPECT_TRUE(p.session.compress_menu);
  EXPECT_TRUE(p.session.command_line_mode);
  EXPECT_FALSE(p.session.silent);
}

TEST(ParseCommandLine, SwitchesIgnoreCaseAndPrefix) {
  Parsed upper("/C lzh");
  Parsed dash("-m");
  EXPECT_TRUE(upper.session.view_menu);
  EXPECT_EQ(dash.session.start_menu_option, OPTION_CHOSEN);
  EXPECT_TRUE(dash.session.command_line_mode);
  // The silent switch combines with the others and sets only its own flag.
  Parsed silent("/smd lzh zip");
  EXPECT_TRUE(silent.session.silent);
  EXPECT_EQ(silent.session.start_menu_option, OPTION_CHOSEN);
  EXPECT_EQ(silent.session.desktop_option, OPTION_CHOSEN);
  EXPECT_EQ(silent.session.send_to_option, 0);
  EXPECT_EQ(silent.AssociatedCount(), 2);
  EXPECT_FALSE(silent.session.view_menu || silent.session.compress_menu);
  EXPECT_TRUE(silent.session.command_line_mode);
  EXPECT_TRUE(Parsed("-S").session.silent);
}

TEST(ParseCommandLine, ViewSwitchCountsOnlyWithAnArchiveType) {
  Parsed p("/c");
  EXPECT_TRUE(p.session.command_line_mode);
  EXPECT_FALSE(p.session.view_menu);
}

TEST(ParseCommandLine, UnknownItemsAreIgnored) {
  Parsed unknownSwitch("/x");
  Parsed unknownWord("zipper");
  Parsed unquotedPath("C:\\Apps");
  EXPECT_FALSE(unknownSwitch.session.command_line_mode);
  EXPECT_FALSE(unknownWord.session.command_line_mode);
  EXPECT_FALSE(unquotedPath.session.command_line_mode);
  EXPECT_EQ(unquotedPath.session.destination, nullptr);
}

TEST(ParseCommandLine, LastWordIsRecognisedWithOrWithoutTrailingSpace) {
  Parsed bare("/m lzh");
  Parsed spaced("/m 7z \t");
  EXPECT_TRUE(bare.session.associate[0]);
  EXPECT_TRUE(spaced.session.associate[9]);
  Parsed single("z");  // a one-letter word at the very end
  EXPECT_FALSE(single.session.command_line_mode);
}

TEST(ParseCommandLine, EveryArchiveWordInTableOrder) {
  Parsed p("lzh zip cab tgz tar gz tbz bz2 rar 7z");
  EXPECT_EQ(p.AssociatedCount(), ARCHIVE_TYPE_COUNT);
  Parsed mixed("Bz2 RAR");
  EXPECT_TRUE(mixed.session.associate[7]);
  EXPECT_TRUE(mixed.session.associate[8]);
}

TEST(ParseCommandLine, QuoteBehindSwitchLettersIsSwitchText) {
  // /m"C:\x: everything after the m is switch letters; the C counts as c.
  Parsed p("/m\"C:\\x lzh");
  EXPECT_EQ(p.session.destination, nullptr);
  EXPECT_EQ(p.session.start_menu_option, OPTION_CHOSEN);
  EXPECT_TRUE(p.session.view_menu);  // kept: lzh names a type
  Parsed alone("/m\"C:\\x");
  EXPECT_FALSE(alone.session.view_menu);  // cleared by the final rule
}

TEST(ParseCommandLine, QuotedDestinations) {
  Parsed two("\"C:\\one\" \"D:\\two\"");
  EXPECT_STREQ(two.session.destination, "D:\\two");
  Parsed empty("\"\"");
  ASSERT_NE(empty.session.destination, nullptr);
  EXPECT_STREQ(empty.session.destination, "");
  EXPECT_TRUE(empty.session.command_line_mode);
  Parsed spaces("\"C:\\Program Files\\Vorn\"");
  EXPECT_STREQ(spaces.session.destination, "C:\\Program Files\\Vorn");
  Parsed unclosed("/m \"C:\\never closed");
  EXPECT_EQ(unclosed.session.destination, nullptr);
  EXPECT_TRUE(unclosed.session.command_line_mode);  // from /m only
  Parsed unclosedAlone("\"C:\\x");
  EXPECT_FALSE(unclosedAlone.session.command_line_mode);
}

TEST(ParseCommandLine, ShiftJisDestinationKeepsItsBytes) {
  // 表 is 0x95 0x5C: its second byte is a backslash code.
  Parsed p("\"C:\\\x95\\\x83\\\"");
  EXPECT_STREQ(p.session.destination, "C:\\\x95\\\x83\\");
}

}  // namespace
