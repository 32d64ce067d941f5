// The publisher's tool: what it writes, and what it refuses without leaving
// an output file behind.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include "encode/lzh_encoder.h"
#include "test_support.h"

namespace {

// A stub for mksfx: its size, and the execution level of a manifest among
// its bytes, with room for the longest level, as in the real stub.
std::string Stub(const std::string& level = "asInvoker") {
  std::string stub(SFX_STUB_SIZE, 'S');
  std::string tag = "<requestedExecutionLevel level=\"" + level + '"';
  tag.resize(tag.size() - level.size() + 20, ' ');
  return stub.replace(1000, tag.size() + 2, tag + "/>");
}

class Mksfx : public testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes("stub.exe", Stub());
    WriteFileBytes("archive.lzh", Level0Member({.name = "a.txt", .data = "abc"}) + '\0');
  }
  // Runs mksfx with `arguments`; returns its exit status, `errors` its
  // stderr, `output` its stdout.
  int Run(const std::string& arguments, std::string* errors = nullptr, std::string* output = nullptr) {
    std::string command = std::string(VORN_MKSFX) + " --stub stub.exe " + arguments + " 2>errors.txt >output.txt";
    int status = system(command.c_str());
    if (errors) *errors = ReadFileBytes("errors.txt");
    if (output) *output = ReadFileBytes("output.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Expects mksfx to refuse `arguments` with a message containing `why`,
  // leaving no out.exe (nor its partial file) behind.
  void ExpectRefused(const std::string& arguments, const std::string& why) {
    std::string errors;
    EXPECT_NE(Run(arguments + " out.exe", &errors), 0) << arguments;
    EXPECT_NE(errors.find(why), std::string::npos) << arguments << ": " << errors;
    EXPECT_FALSE(FileExists("out.exe") || FileExists("out.exe.partial")) << arguments;
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
  EXPECT_TRUE(out == Stub("requireAdministrator") + block + ReadFileBytes("archive.lzh"));
  EXPECT_EQ(out.substr(SFX_STUB_SIZE, block.size()), block);
}

TEST_F(Mksfx, PlainSelfExtractorHasAOneByteBlock) {
  ASSERT_EQ(Run("--plain archive.lzh out.exe"), 0);
  EXPECT_TRUE(ReadFileBytes("out.exe") == Stub() + '\0' + ReadFileBytes("archive.lzh"));
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
  WriteFileBytes("unmanifested.exe", std::string(SFX_STUB_SIZE, 'S'));
  EXPECT_NE(Run("--stub unmanifested.exe archive.lzh out.exe", &errors), 0);
  EXPECT_NE(errors.find("execution level"), std::string::npos) << errors;

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

// A folder in, an installer out, and back: the members listed with their
// methods, each one decoded and checked by --test, the tree written again
// by --extract with its names and times; a damaged member fails --test.
TEST_F(Mksfx, MakesListsTestsAndExtractsAFolder) {
  const FolderTree tree = {{"docs/", ""},
                           {"docs/日本語.txt", std::string(20000, 'a') + "text that compresses"},
                           {"noise.bin", std::string("\x8f\x12\xee\x01\x77\xc3\x5a\x90", 8)},
                           {"empty/", ""}};
  WriteTree("source", tree);
  const utimbuf times = {1234567890, 1234567890};
  utime("source/docs/日本語.txt", &times);
  ASSERT_EQ(Run("--plain --level 3 source out.exe"), 0);

  std::string listing;
  ASSERT_EQ(Run("--list out.exe", nullptr, &listing), 0);
  EXPECT_NE(listing.find("plain self-extractor"), std::string::npos) << listing;
  EXPECT_NE(listing.find("-lh7-  2009-02-13 23:31:30"), std::string::npos) << listing;
  EXPECT_NE(listing.find("docs/日本語.txt"), std::string::npos) << listing;
  EXPECT_NE(listing.find("-lh0-"), std::string::npos) << listing;
  EXPECT_NE(listing.find("-lhd-"), std::string::npos) << listing;
  EXPECT_EQ(Run("--test out.exe"), 0);

  ASSERT_EQ(Run("--extract out.exe copy"), 0);
  EXPECT_TRUE(ReadTree("copy") == tree);
  struct stat status;
  ASSERT_EQ(stat("copy/docs/日本語.txt", &status), 0);
  EXPECT_EQ(status.st_mtime, 1234567890);

  // The archive alone, as an .lzh, is listed and tested just the same.
  const std::string installer = ReadFileBytes("out.exe");
  WriteFileBytes("bare.lzh", installer.substr(SFX_STUB_SIZE + 1));
  EXPECT_EQ(Run("--test bare.lzh"), 0);

  std::string damaged = installer;
  const size_t text = damaged.find("\x93\xfa\x96\x7b\x8c\xea.txt");  // the member's name, in Shift-JIS
  ASSERT_NE(text, std::string::npos);
  damaged[text + 40] ^= 0x55;  // in its compressed data, behind the header
  WriteFileBytes("damaged.exe", damaged);
  std::string report;
  EXPECT_NE(Run("--test damaged.exe", nullptr, &report), 0);
  EXPECT_NE(report.find("FAILED  docs/日本語.txt"), std::string::npos) << report;
}

// Each folder mksfx cannot make an installer of, each with its message
// and no output left behind; and an archive without the end-of-archive byte
// gets one, so that the stub's walk stops before anything appended.
TEST_F(Mksfx, RefusesAFolderItCannotPackAndEndsAnArchive) {
  ExpectRefused("missing", "cannot read missing");
  mkdir("empty", 0777);
  ExpectRefused("empty", "holds no files");
  WriteTree("emoji", {{"\xf0\x9f\x98\x80.txt", "x"}});
  ExpectRefused("emoji", "no Shift-JIS form");
  WriteTree("invalid", {{"\xff.txt", "x"}});
  ExpectRefused("invalid", "no Shift-JIS form");
  WriteTree("colon", {{"a:b.txt", "x"}});
  ExpectRefused("colon", "Windows does not allow");
  const std::string folder = std::string(100, 'f') + "/";
  WriteTree("deep", {{folder, ""}, {folder + folder, ""}, {folder + folder + std::string(60, 'n'), ""}});
  ExpectRefused("deep", "at most 259");
  mkdir("huge", 0777);
  FILE* sparse = fopen("huge/sparse.bin", "wb");
  ASSERT_EQ(ftruncate(fileno(sparse), 0x100000000ll), 0);  // 4 GiB, all of it a hole
  fclose(sparse);
  ExpectRefused("huge", "4 GiB");
  ExpectRefused("--method lh8 archive.lzh", "lh5, lh6 or lh7");
  ExpectRefused("--level 5 archive.lzh", "apply to a folder");

  const std::string member = Level0Member({.name = "a.txt", .data = "abc"});
  WriteFileBytes("unended.lzh", member);
  ASSERT_EQ(Run("--plain unended.lzh ended.exe"), 0);
  EXPECT_TRUE(ReadFileBytes("ended.exe") == Stub() + '\0' + member + '\0');
  WriteFileBytes("cut.lzh", member + member.substr(0, 10));
  ExpectRefused("cut.lzh", "cut short");
}

// The compressed form of `text` as the encoder makes it (-lh7-).
std::string Compressed(const std::string& text) {
  FILE* in = tmpfile();
  FILE* out = tmpfile();
  fwrite(text.data(), 1, text.size(), in);
  rewind(in);
  EXPECT_EQ(EncodeMember(in, out, kDefaultMethod, DEFAULT_LEVEL, text.size()).status, ENCODE_DONE);
  std::string packed(ftell(out), '\0');
  rewind(out);
  EXPECT_EQ(fread(&packed[0], 1, packed.size(), out), packed.size());
  fclose(in);
  fclose(out);
  return packed;
}

// Damaged archives, each as --list, --test and --extract see it: the exit
// status of each, what --list says on stderr (where the archive broke),
// --test's summary, and which files --extract leaves. Every member that
// --extract reports as damaged leaves no file behind.
TEST_F(Mksfx, DamagedArchivesFailEveryCommandThatCanTell) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i % 97) + " of the text\n";
  const MemberSpec a = {.name = "a.txt", .data = "first"};
  const MemberSpec c = {.data = "third", .extended = {{0x01, "c.txt"}}};
  MemberSpec b = {.method = "-lh7-", .name = "b.txt", .data = Compressed(text), .originalSize = (uint32_t)text.size(),
                  .storedSize = false, .crc = Crc16(text), .computeCrc = false};
  const std::string good = Level0Member(a) + Level0Member(b) + Level2Member(c) + '\0';
  const std::string bMember = Level0Member(b);
  std::string flipped = bMember;
  flipped[flipped.size() / 2] ^= 0x10;
  MemberSpec longer = b, unknown = b, storedLonger = a;
  longer.originalSize += 50000;
  unknown.method = "-lhx-";
  storedLonger.storedSize = false;
  storedLonger.originalSize = 9;

  const struct {
    const char* what;
    std::string archive;
    int list, test, extract;
    const char* listSays;     // on stderr
    const char* testSummary;
    const char* extracted;    // the files --extract leaves, in order
  } kCases[] = {
      {"whole", good, 0, 0, 0, "", "all 3 members are good", "a.txt b.txt c.txt"},
      {"without the end byte", good.substr(0, good.size() - 1), 0, 0, 0, "", "all 3 members are good",
       "a.txt b.txt c.txt"},
      {"cut inside a member's data", Level0Member(a) + bMember.substr(0, bMember.size() - 40), 1, 1, 1,
       "inside the data of member 2 (b.txt), 40 bytes short", "1 of 2 members failed; the archive is broken",
       "a.txt"},
      {"cut inside a header", Level0Member(a) + bMember.substr(0, 12), 1, 1, 1, "header of member 2 is cut short",
       "0 of 1 member failed; the archive is broken", "a.txt"},
      {"an unknown header", Level0Member(a) + std::string("\x05\x00garbage", 9) + std::string(40, 'x'), 1, 1, 1,
       "header of member 2 is damaged or of a kind", "0 of 1 member failed; the archive is broken", "a.txt"},
      {"the first header unreadable", '\x05' + good.substr(1), 1, 1, 1,
       "header of member 1 is damaged or of a kind", "0 of 0 members failed; the archive is broken", ""},
      {"a byte of compressed data flipped", Level0Member(a) + flipped + Level2Member(c) + '\0', 0, 1, 1, "",
       "1 of 3 members failed", "a.txt"},
      {"a compressed member's size too large", Level0Member(a) + Level0Member(longer) + Level2Member(c) + '\0', 0,
       1, 1, "", "1 of 3 members failed", "a.txt"},
      {"a stored member's size too large", Level0Member(storedLonger) + Level2Member(c) + '\0', 0, 1, 1, "",
       "1 of 2 members failed", ""},
      {"an unknown method, skipped", Level0Member(a) + Level0Member(unknown) + Level2Member(c) + '\0', 0, 1, 1, "",
       "1 of 3 members failed", "a.txt c.txt"},
  };
  for (const auto& test : kCases) {
    SCOPED_TRACE(test.what);
    WriteFileBytes("case.lzh", test.archive);
    std::string errors, output;
    EXPECT_EQ(Run("--list case.lzh", &errors), test.list);
    EXPECT_NE(errors.find(test.listSays), std::string::npos) << errors;
    EXPECT_EQ(Run("--test case.lzh", nullptr, &output), test.test);
    EXPECT_NE(output.find(test.testSummary), std::string::npos) << output;
    ASSERT_EQ(system("rm -rf out"), 0);
    EXPECT_EQ(Run("--extract case.lzh out"), test.extract);
    std::string files;
    for (const auto& [path, bytes] : ReadTree("out")) files += (files.empty() ? "" : " ") + path;
    EXPECT_EQ(files, test.extracted);
  }
}

// The checks the stub does not make: a level-0 or level-1 header's
// checksum and a level-2 header's CRC-16. A flipped byte in a name or a
// time fails every command, which names the member; the same header
// without the flip passes, and a level-2 header without a CRC has nothing
// to check. An archive with such a header is refused as an installer's
// source.
TEST_F(Mksfx, HeadersFailTheirOwnChecks) {
  WriteTree("source", {{"named.txt", "the member"}});
  ASSERT_EQ(Run("--plain source made.exe"), 0);
  const std::string made = ReadFileBytes("made.exe").substr(SFX_STUB_SIZE + 1);  // level 2, with its CRC
  const MemberSpec named = {.name = "named.txt", .data = "the member", .stamp = 0x5a2b1c3d};
  const struct {
    const char* what;
    std::string archive;
    size_t flip;  // offset of the byte to flip; 0: none
  } kCases[] = {
      {"level 0", Level0Member(named) + '\0', 25},
      {"level 1", Level1Member(named) + '\0', 16},
      {"level 2 with a CRC", made, made.find("named.txt") + 2},
      {"level 2 with a CRC, its time", made, 16},
      {"level 2 without a CRC", Level2Member({.name = "", .data = "x", .extended = {{0x01, "named.txt"}}}) + '\0', 0},
  };
  for (const auto& test : kCases) {
    for (bool flip : {false, true}) {
      if (flip && !test.flip) continue;
      SCOPED_TRACE(std::string(test.what) + (flip ? ", a byte flipped" : ""));
      std::string archive = test.archive;
      if (flip) archive[test.flip] ^= 0x01;
      WriteFileBytes("case.lzh", archive);
      std::string errors, output;
      const int expected = flip ? 1 : 0;
      EXPECT_EQ(Run("--list case.lzh", &errors), expected);
      EXPECT_EQ(Run("--test case.lzh", nullptr, &output), expected) << output;
      EXPECT_EQ(Run("--extract case.lzh out", &errors), expected);
      EXPECT_EQ(Run("--plain case.lzh out.exe", &errors), expected);
      if (flip) EXPECT_NE(errors.find("the header of member 1 ("), std::string::npos) << errors;
      if (flip) EXPECT_NE(errors.find(") is damaged: its"), std::string::npos) << errors;
      ASSERT_EQ(system("rm -rf out out.exe"), 0);
    }
  }
}

}  // namespace
