// The publisher's tool: what it writes, and what it refuses without leaving
// an output file behind.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include "test_support.h"

namespace {

class Mksfx : public testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes("stub.exe", std::string(SFX_STUB_SIZE, 'S'));
    WriteFileBytes("archive.lzh", Level0Member({.name = "a.txt", .data = "abc"}) + '\0');
  }
  // Runs mksfx with `arguments`; returns its exit status, `errors` its stderr.
  int Run(const std::string& arguments, std::string* errors = nullptr) {
    std::string command = std::string(VORN_MKSFX) + " --stub stub.exe " + arguments + " 2>errors.txt";
    int status = system(command.c_str());
    if (errors) *errors = ReadFileBytes("errors.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  ScratchFolder folder;
};

TEST_F(Mksfx, WritesStubBlockAndArchive) {
  ASSERT_EQ(Run("--title 'My Setup' --program-files --destination Vorn --program bin/vorn.exe "
                "--start-menu 3 --desktop 2 --send-to 1 --post-install readme.exe --shortcut-name Vorn "
                "archive.lzh out.exe"), 0);
  std::string out = ReadFileBytes("out.exe");
  std::string block = std::string("\x01\x08", 2) + "My Setup" + '\x01' + '\x04' + "Vorn" + '\x0c' + "bin/vorn.exe" +
                      "\x03\x02\x01" + '\x0a' + "readme.exe" + '\x04' + "Vorn";
  EXPECT_TRUE(out == std::string(SFX_STUB_SIZE, 'S') + block + ReadFileBytes("archive.lzh"));
  EXPECT_EQ(out.substr(SFX_STUB_SIZE, block.size()), block);
}

TEST_F(Mksfx, PlainSelfExtractorHasAOneByteBlock) {
  ASSERT_EQ(Run("--plain archive.lzh out.exe"), 0);
  EXPECT_TRUE(ReadFileBytes("out.exe") == std::string(SFX_STUB_SIZE, 'S') + '\0' + ReadFileBytes("archive.lzh"));
  EXPECT_NE(Run("--plain --title X archive.lzh out2.exe"), 0);
}

TEST_F(Mksfx, EmptyInstallerTextsGiveZeroLengths) {
  ASSERT_EQ(Run("archive.lzh out.exe"), 0);
  std::string out = ReadFileBytes("out.exe");
  // kind, then nine zero lengths and option bytes, then the archive
  EXPECT_EQ(out.substr(SFX_STUB_SIZE, 10), std::string("\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00", 10));
  EXPECT_EQ(out.size(), SFX_STUB_SIZE + 10 + ReadFileBytes("archive.lzh").size());
}

TEST_F(Mksfx, RefusesWithoutLeavingAnOutput) {
  std::string errors;
  EXPECT_NE(Run("--title " + std::string(256, 't') + " archive.lzh out.exe", &errors), 0);
  EXPECT_NE(errors.find("255"), std::string::npos) << errors;
  EXPECT_EQ(Run("--title " + std::string(255, 't') + " archive.lzh ok.exe"), 0);

  WriteFileBytes("short.exe", std::string(SFX_STUB_SIZE - 1, 'S'));
  EXPECT_NE(Run("--stub short.exe archive.lzh out.exe", &errors), 0);
  EXPECT_NE(errors.find("17408"), std::string::npos) << errors;

  WriteFileBytes("bad.lzh", std::string("\x05\x00garbage", 9) + std::string(40, 'x'));
  EXPECT_NE(Run("bad.lzh out.exe", &errors), 0);
  EXPECT_NE(errors.find("bad.lzh"), std::string::npos) << errors;
  WriteFileBytes("empty.lzh", std::string(1, '\0'));
  EXPECT_NE(Run("empty.lzh out.exe"), 0);
  EXPECT_NE(Run("missing.lzh out.exe"), 0);
  EXPECT_NE(Run("--start-menu 256 archive.lzh out.exe"), 0);
  EXPECT_NE(Run("--unknown archive.lzh out.exe"), 0);
  EXPECT_FALSE(FileExists("out.exe"));
  EXPECT_FALSE(FileExists("out.exe.partial"));
}

}  // namespace
