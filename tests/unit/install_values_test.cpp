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
  const char* rows[ARCHIVE_TYPE_COUNT][3] = {
      {".lzh", "VornArchive", "OldClass"},      {".zip", "VornArchiveZip", "OldZClass"},
      {".cab", "VornArchiveCab", "OldCClass"},  {".tgz", "VornArchiveTgz", "OldTClass"},
      {".tar", "VornArchiveTar", "OldAClass"},  {".gz", "VornArchiveGzip", "OldGClass"},
      {".tbz", "VornArchiveTbz", "OldBClass"},  {".bz2", "VornArchiveBz2", "Old2Class"},
      {".rar", "VornArchiveRar", "OldRClass"},  {".7z", "VornArchive7zip", "Old7Class"},
  };
  for (int type = 0; type < ARCHIVE_TYPE_COUNT; ++type) {
    AssociationNames names;
    memset(&names, 'x', sizeof names);
    ComposeAssociationNames(type, &names);
    EXPECT_STREQ(names.extension, rows[type][0]) << type;
    EXPECT_STREQ(names.prog_id, rows[type][1]) << type;
    EXPECT_STREQ(names.backup_name, rows[type][2]) << type;
  }
}

TEST(InstallPaths, FolderSeparatorRuleBeforeTheProgram) {
  InstallPaths paths;
  Session plain("C:\\Apps\\Vorn", "Vorn.exe");
  ASSERT_TRUE(ComposeInstallPaths(&plain.s, &paths));
  EXPECT_STREQ(paths.destination, "C:\\Apps\\Vorn");
  EXPECT_STREQ(paths.folder, "C:\\Apps\\Vorn\\");
  EXPECT_STREQ(paths.main_path, "C:\\Apps\\Vorn\\Vorn.exe");

  Session trailing("C:\\", "bin\\Vorn.exe");
  ASSERT_TRUE(ComposeInstallPaths(&trailing.s, &paths));
  EXPECT_STREQ(paths.destination, "C:\\");
  EXPECT_STREQ(paths.main_path, "C:\\bin\\Vorn.exe");

  // 表 (0x95 0x5C) ends in the backslash code, which is no separator.
  Session shiftJis("C:\\\x95\\", "Vorn.exe");
  ASSERT_TRUE(ComposeInstallPaths(&shiftJis.s, &paths));
  EXPECT_STREQ(paths.folder, "C:\\\x95\\\\");
  EXPECT_STREQ(paths.main_path, "C:\\\x95\\\\Vorn.exe");
}

TEST(InstallPaths, NothingWithoutAProgramOrWhenTooLong) {
  InstallPaths paths;
  Session none("C:\\Apps", nullptr);
  EXPECT_FALSE(ComposeInstallPaths(&none.s, &paths));
  Session empty("C:\\Apps", "");
  EXPECT_FALSE(ComposeInstallPaths(&empty.s, &paths));
  // Destination and program may take 243 characters together, so that the
  // main program path plus the longest ending fits 256 bytes.
  std::string destination = "C:\\" + std::string(232, 'd');
  Session longest(destination.c_str(), "Vorn.exe");  // 235 + 8
  ASSERT_TRUE(ComposeInstallPaths(&longest.s, &paths));
  EXPECT_EQ(strlen(paths.main_path) + strlen(" /e \"%1\""), 252u);
  EXPECT_EQ(strlen(paths.folder) + strlen("VornDll.dll"), 247u);
  Session tooLong((destination + "d").c_str(), "Vorn.exe");
  EXPECT_FALSE(ComposeInstallPaths(&tooLong.s, &paths));
}

TEST(ShortcutPath, NamedOrAfterTheProgram) {
  char out[MAX_PATH];
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
}

TEST(PostInstallPath, AlwaysOneBackslashAdded) {
  char out[MAX_PATH];
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
