// The installer configuration block behind the stub.
#include <gtest/gtest.h>

#include "session/command_line.h"
#include "session/config_block.h"
#include "test_support.h"

namespace {

std::string Text(const std::string& s) { return std::string(1, (char)s.size()) + s; }

struct BlockFields {
  std::string title = "Setup", destination = "Apps", program = "bin\\vorn.exe";
  unsigned char programFiles = 0, startMenu = 3, desktop = 2, sendTo = 1;
  std::string postInstall = "readme.exe", shortcut = "Vorn";
  std::string Bytes() const {
    return std::string(1, '\x01') + Text(title) + (char)programFiles + Text(destination) + Text(program) +
           (char)startMenu + (char)desktop + (char)sendTo + Text(postInstall) + Text(shortcut);
  }
};

class ConfigBlock : public testing::Test {
 protected:
  void SetUp() override {
    HostReset();
    HostSetCurrentDirectoryText("C:\\work");
    HostSetWindowsDirectory("C:\\WINDOWS");
  }
  void TearDown() override { HostReset(); }

  // Reads `bytes` as the block, after an optional command line.
  bool Read(const std::string& bytes, const char* commandLine = "") {
    on_.reset(new SessionOnBytes(bytes + "ARCHIVE"));
    ParseCommandLine(&session(), commandLine);
    return ReadSfxConfig(&session());
  }
  SfxSession& session() { return on_->session; }
  std::string Rest() {
    char buffer[16] = {0};
    fread(buffer, 1, sizeof buffer - 1, session().own_file);
    return buffer;
  }
  std::unique_ptr<SessionOnBytes> on_;
};

TEST_F(ConfigBlock, PlainSelfExtractor) {
  ASSERT_TRUE(Read(std::string(1, '\0')));
  EXPECT_STREQ(session().title, "Vorn SFX");
  EXPECT_STREQ(session().destination, "C:\\work");
  EXPECT_FALSE(session().installer_mode);
  EXPECT_EQ(session().program_name, nullptr);
  EXPECT_EQ(Rest(), "ARCHIVE");
}

TEST_F(ConfigBlock, InstallerTakesEveryField) {
  BlockFields f;
  ASSERT_TRUE(Read(f.Bytes()));
  EXPECT_TRUE(session().installer_mode);
  EXPECT_STREQ(session().title, "Setup");
  EXPECT_STREQ(session().destination, "C:\\work\\Apps");
  EXPECT_STREQ(session().program_name, "bin\\vorn.exe");
  EXPECT_EQ(session().start_menu_option, 3);
  EXPECT_EQ(session().desktop_option, 2);
  EXPECT_EQ(session().send_to_option, 1);
  EXPECT_STREQ(session().post_install_program, "readme.exe");
  EXPECT_STREQ(session().shortcut_name, "Vorn");
  EXPECT_EQ(Rest(), "ARCHIVE");
}

TEST_F(ConfigBlock, EmptyTextsAndDefaultTitle) {
  BlockFields f;
  f.title = f.program = f.postInstall = f.shortcut = "";
  f.destination = "";
  ASSERT_TRUE(Read(f.Bytes()));
  EXPECT_STREQ(session().title, "Vorn SFX");
  EXPECT_STREQ(session().destination, "C:\\work");  // the current directory, no backslash added
  ASSERT_NE(session().program_name, nullptr);
  EXPECT_STREQ(session().program_name, "");
  EXPECT_STREQ(session().post_install_program, "");
  EXPECT_STREQ(session().shortcut_name, "");
}

TEST_F(ConfigBlock, LongestTitleIsTakenWhole) {
  BlockFields f;
  f.title = std::string(255, 'T');
  ASSERT_TRUE(Read(f.Bytes()));
  EXPECT_EQ(std::string(session().title), f.title);
}

TEST_F(ConfigBlock, ZeroByteInsideATextEndsIt) {
  BlockFields f;
  f.program = std::string("vorn.exe\0junk", 13);
  ASSERT_TRUE(Read(f.Bytes()));
  EXPECT_STREQ(session().program_name, "vorn.exe");
  EXPECT_STREQ(session().post_install_program, "readme.exe");  // the junk was still read past
}

TEST_F(ConfigBlock, DestinationComposition) {
  BlockFields drive;
  drive.destination = "D:\\Tools";
  drive.programFiles = 1;
  ASSERT_TRUE(Read(drive.Bytes()));
  EXPECT_STREQ(session().destination, "D:\\Tools");

  BlockFields programFiles;
  programFiles.programFiles = 7;  // any non-zero value
  ASSERT_TRUE(Read(programFiles.Bytes()));
  EXPECT_STREQ(session().destination, "C:\\Program Files\\Apps");

  BlockFields relative;
  relative.destination = "sub";
  HostSetCurrentDirectoryText("C:\\");
  ASSERT_TRUE(Read(relative.Bytes()));
  EXPECT_STREQ(session().destination, "C:\\sub");

  // A current directory ending in a double-byte character whose second byte
  // is 0x5C still gets a separator.
  HostSetCurrentDirectoryText("C:\\\x95\\");
  ASSERT_TRUE(Read(relative.Bytes()));
  EXPECT_STREQ(session().destination, "C:\\\x95\\\\sub");
}

TEST_F(ConfigBlock, CommandLineKeepsItsDestinationAndOptions) {
  BlockFields f;
  ASSERT_TRUE(Read(f.Bytes(), "\"E:\\Target\" /d"));
  EXPECT_STREQ(session().destination, "E:\\Target");
  EXPECT_EQ(session().start_menu_option, 0);
  EXPECT_EQ(session().desktop_option, OPTION_CHOSEN);
  EXPECT_EQ(session().send_to_option, 0);
  EXPECT_STREQ(session().title, "Setup");
  EXPECT_STREQ(session().program_name, "bin\\vorn.exe");
  EXPECT_TRUE(session().installer_mode);
  EXPECT_EQ(Rest(), "ARCHIVE");
}

TEST_F(ConfigBlock, CommandLineWithoutDestinationFallsBackToTheBlocks) {
  BlockFields f;
  ASSERT_TRUE(Read(f.Bytes(), "/m lzh"));
  EXPECT_STREQ(session().destination, "C:\\work\\Apps");
  EXPECT_EQ(session().start_menu_option, OPTION_CHOSEN);
  ASSERT_TRUE(Read(std::string(1, '\0'), "/m"));
  EXPECT_STREQ(session().destination, "C:\\work");
}

TEST_F(ConfigBlock, EveryCutInsideTheBlockFails) {
  std::string full = BlockFields().Bytes();
  for (size_t length = 0; length < full.size(); ++length) {
    SessionOnBytes on(full.substr(0, length));
    EXPECT_FALSE(ReadSfxConfig(&on.session)) << "cut after " << length << " bytes";
  }
  SessionOnBytes whole(full);
  EXPECT_TRUE(ReadSfxConfig(&whole.session));
}

TEST_F(ConfigBlock, BlockEndingAtAnEmptyShortcutNameIsComplete) {
  BlockFields f;
  f.shortcut = "";
  SessionOnBytes on(f.Bytes());
  EXPECT_TRUE(ReadSfxConfig(&on.session));
}

}  // namespace
