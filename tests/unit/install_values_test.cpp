// Texts the installation composes: association names, the paths that the
// registry values and shortcuts start with, shortcut files and the
// post-install program.
#include <gtest/gtest.h>

#include "install/install_values.h"
#include "test_support.h"

namespace {

struct Session {
  Session(const char* destination, const char* program) {
    InitSession(&s, nullptr);
    Set(&s.destination, destination);
    Set(&s.program_name, program);
    Set(&s.shortcut_name, "");
    Set(&s.post_install_program, "");
  }
  ~Session() { CloseSession(&s); }
  static void Set(char** field, const char* text) {
    if (text) SetSessionString(field, text, strlen(text));
  }
  SfxSession s;
};

TEST(AssociationNames, EveryRowOfTheTable) {
  const char* rows[ARCHIVE_TYPE_COUNT][4] = {
      {".lzh", "VornArchive", "OldClass", "1"},      {".zip", "VornArchiveZip", "OldZClass", "2"},
      {".cab", "VornArchiveCab", "OldCClass", "3"},  {".tgz", "VornArchiveTgz", "OldTClass", "4"},
      {".tar", "VornArchiveTar", "OldAClass", "5"},  {".gz", "VornArchiveGzip", "OldGClass", "4"},
      {".tbz", "VornArchiveTbz", "OldBClass", "4"},  {".bz2", "VornArchiveBz2", "Old2Class", "4"},
      {".rar", "VornArchiveRar", "OldRClass", "6"},  {".7z", "VornArchive7zip", "Old7Class", "7"},
  };
  for (int type = 0; type < ARCHIVE_TYPE_COUNT; ++type) {
    memset(installTexts, 'x', sizeof installTexts);
    Text(ICON_DIGIT)[1] = 0;
    ComposeAssociationNames(type);
    EXPECT_STREQ(Text(EXTENSION), rows[type][0]) << type;
    EXPECT_STREQ(Text(PROG_ID), rows[type][1]) << type;
    EXPECT_STREQ(Text(BACKUP_NAME), rows[type][2]) << type;
    EXPECT_STREQ(Text(ICON_DIGIT), rows[type][3]) << type;
  }
}

TEST(InstallPaths, FolderSeparatorRuleBeforeTheProgram) {
  Session plain("C:\\Apps\\Vorn", "Vorn.exe");
  ASSERT_TRUE(ComposeInstallPaths(&plain.s));
  EXPECT_STREQ(Text(DESTINATION), "C:\\Apps\\Vorn");
  EXPECT_STREQ(Text(FOLDER), "C:\\Apps\\Vorn\\");
  EXPECT_STREQ(Text(MAIN_PATH), "C:\\Apps\\Vorn\\Vorn.exe");

  Session trailing("C:\\", "bin\\Vorn.exe");
  ASSERT_TRUE(ComposeInstallPaths(&trailing.s));
  EXPECT_STREQ(Text(DESTINATION), "C:\\");
  EXPECT_STREQ(Text(FOLDER), "C:\\");
  EXPECT_STREQ(Text(MAIN_PATH), "C:\\bin\\Vorn.exe");

  // 表 (0x95 0x5C) ends in the backslash code, which is no separator.
  Session shiftJis("C:\\\x95\\", "Vorn.exe");
  ASSERT_TRUE(ComposeInstallPaths(&shiftJis.s));
  EXPECT_STREQ(Text(FOLDER), "C:\\\x95\\\\");
  EXPECT_STREQ(Text(MAIN_PATH), "C:\\\x95\\\\Vorn.exe");
}

TEST(InstallPaths, NothingWithoutAProgramOrWhenTooLong) {
  Session none("C:\\Apps", nullptr);
  EXPECT_FALSE(ComposeInstallPaths(&none.s));
  Session empty("C:\\Apps", "");
  EXPECT_FALSE(ComposeInstallPaths(&empty.s));
  // The main program path may take 244 characters, so that it fits 256
  // bytes with the longest ending, as does the folder with "VornDll.dll".
  std::string destination = "C:\\" + std::string(232, 'd');
  Session longest(destination.c_str(), "Vorn.exe");  // 235 + 1 + 8
  ASSERT_TRUE(ComposeInstallPaths(&longest.s));
  EXPECT_EQ(strlen(Text(MAIN_PATH)) + strlen(" /e \"%1\""), 252u);
  EXPECT_EQ(strlen(Text(FOLDER)) + strlen("VornDll.dll"), 247u);
  Session tooLong((destination + "d").c_str(), "Vorn.exe");
  EXPECT_FALSE(ComposeInstallPaths(&tooLong.s));
  // A destination with its own backslash gets none added.
  Session ownBackslash((destination + "\\").c_str(), "Vorn.exe");  // 236 + 8
  ASSERT_TRUE(ComposeInstallPaths(&ownBackslash.s));
  EXPECT_EQ(strlen(Text(MAIN_PATH)), 244u);
  EXPECT_EQ(strlen(Text(FOLDER)) + strlen("VornDll.dll"), 247u);
  Session ownBackslashTooLong((destination + "d\\").c_str(), "Vorn.exe");
  EXPECT_FALSE(ComposeInstallPaths(&ownBackslashTooLong.s));
}

TEST(ShortcutPath, NamedOrAfterTheProgram) {
  char out[COMPOSE_BUFFER_SIZE];
  Session named("C:\\Apps", "bin\\vorn.exe");
  Session::Set(&named.s.shortcut_name, "Vorn Archiver");
  ASSERT_TRUE(ComposeShortcutPath(&named.s, "C:\\Menu\\Programs", out));
  EXPECT_STREQ(out, "C:\\Menu\\Programs\\Vorn Archiver.lnk");

  // Without a name: the program's file name without folder and extension;
  // the backslash after the folder is always added.
  Session unnamed("C:\\Apps", "bin\\vorn.exe");
  ASSERT_TRUE(ComposeShortcutPath(&unnamed.s, "C:\\Desktop\\", out));
  EXPECT_STREQ(out, "C:\\Desktop\\\\vorn.lnk");

  std::string folder(250, 'f');
  EXPECT_TRUE(ComposeShortcutPath(&unnamed.s, folder.c_str(), out));  // 250 + 1 + 4 + 4
  EXPECT_EQ(strlen(out), 259u);
  folder += 'f';
  EXPECT_FALSE(ComposeShortcutPath(&unnamed.s, folder.c_str(), out));
  // Composed at full length and refused, never cut short.
  EXPECT_FALSE(ComposeShortcutPath(&unnamed.s, std::string(700, 'f').c_str(), out));
  EXPECT_EQ(strlen(out), 700u + 1 + 4 + 4);
}

TEST(PostInstallPath, AlwaysOneBackslashAdded) {
  char out[COMPOSE_BUFFER_SIZE];
  Session session("C:\\Apps\\", "vorn.exe");
  Session::Set(&session.s.post_install_program, "setup\\readme.exe");
  ASSERT_TRUE(ComposePostInstallPath(&session.s, out));
  EXPECT_STREQ(out, "C:\\Apps\\\\setup\\readme.exe");
  std::string program(259 - 9, 'p');
  Session::Set(&session.s.post_install_program, program.c_str());
  EXPECT_TRUE(ComposePostInstallPath(&session.s, out));
  Session::Set(&session.s.post_install_program, (program + "p").c_str());
  EXPECT_FALSE(ComposePostInstallPath(&session.s, out));
}

}  // namespace
