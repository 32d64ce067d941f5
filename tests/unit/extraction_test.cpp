// Extraction of whole archives by the worker: folders, CRC check, file
// times, abort, refused names, and the end of the walk.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "archive/extract.h"
#include "archive/progress.h"
#include "session/registry_keys.h"
#include "test_support.h"
#include "ui/destination_folder.h"
#include "archive/worker.h"

namespace {

std::vector<std::string> NotifiedPaths(long event) {
  std::vector<std::string> paths;
  for (const HostShellNotification& n : HostShellNotifications())
    if (n.event == event) paths.push_back(n.path);
  return paths;
}

bool Posted(unsigned message) {
  for (const HostWindowMessage& m : HostWindowMessages())
    if (m.posted && m.message == message) return true;
  return false;
}

class Extraction : public testing::Test {
 protected:
  ScratchFolder folder;
};

TEST_F(Extraction, FoldersTimesAndNames) {
  uint32_t stamp = (43u << 25) | (11u << 21) | (15u << 16) | (12u << 11);
  std::string archive = Level0Member({.name = "/a/b/c.txt", .data = "deep", .stamp = stamp}) +
                        Level2Member({.data = "two", .stamp = 1600000000, .extended = {{0x01, "top.txt"}}}) + '\0';
  ExtractionRun run = ExtractArchiveHere(archive);
  EXPECT_FALSE(run.failed);
  EXPECT_EQ(ReadFileBytes("a/b/c.txt"), "deep");
  EXPECT_EQ(ReadFileBytes("top.txt"), "two");
  EXPECT_EQ(run.names, (std::vector<std::string>{"/a/b/c.txt", "top.txt"}));
  struct stat status;
  ASSERT_EQ(stat("top.txt", &status), 0);
  EXPECT_EQ(status.st_mtime, 1600000000);
  ASSERT_EQ(stat("a/b/c.txt", &status), 0);
  EXPECT_EQ(status.st_mtime, DosTimeToUnixTime(stamp));
  // Only the outermost new folder is announced; every member is announced
  // with its name as read, leading slash included.
  EXPECT_EQ(NotifiedPaths(SHCNE_MKDIR), std::vector<std::string>{"a"});
  std::string destination = folder.path();
  for (char& c : destination)
    if (c == '/') c = '\\';
  EXPECT_EQ(NotifiedPaths(SHCNE_CREATE),
            (std::vector<std::string>{destination + "\\\\a\\b\\c.txt", destination + "\\top.txt"}));
  EXPECT_TRUE(Posted(WM_SFX_DONE));
}

TEST_F(Extraction, ExistingFileIsReplaced) {
  WriteFileBytes("old.txt", "a much longer old content");
  ExtractArchiveHere(Level0Member({.name = "old.txt", .data = "new"}));
  EXPECT_EQ(ReadFileBytes("old.txt"), "new");
}

TEST_F(Extraction, UnknownMethodIsSkippedButCounted) {
  std::string archive = Level0Member({.method = "-xyz-", .name = "skip.bin", .data = "????"}) +
                        Level0Member({.name = "kept.txt", .data = "kept"});
  ExtractionRun run = ExtractArchiveHere(archive);
  EXPECT_FALSE(run.failed);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_FALSE(FileExists("skip.bin"));
  EXPECT_EQ(ReadFileBytes("kept.txt"), "kept");
  EXPECT_EQ(totalSize, 8u);
  EXPECT_EQ(completedSize, 8u);
  EXPECT_EQ(NotifiedPaths(SHCNE_CREATE).size(), 2u);
}

TEST_F(Extraction, WrongCrcStopsTheRun) {
  std::string archive = Level0Member({.name = "one.txt", .data = "first"}) +
                        Level0Member({.name = "two.txt", .data = "second", .computeCrc = false}) +
                        Level0Member({.name = "three.txt", .data = "third"});
  ExtractionRun run = ExtractArchiveHere(archive);
  EXPECT_TRUE(run.failed);
  ASSERT_EQ(run.boxes.size(), 1u);
  // "ファイル two.txt が壊れています。" in Shift-JIS, warning icon, no caption.
  EXPECT_EQ(run.boxes[0].text,
            "\x83t\x83@\x83" "C\x83\x8B two.txt \x82\xAA\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81" "B");
  EXPECT_EQ(run.boxes[0].caption, "");
  EXPECT_EQ(run.boxes[0].type, (unsigned)MB_ICONWARNING);
  EXPECT_EQ(ReadFileBytes("one.txt"), "first");
  EXPECT_EQ(ReadFileBytes("two.txt"), "second");  // left as written
  EXPECT_FALSE(FileExists("three.txt"));
  EXPECT_TRUE(Posted(WM_SFX_DONE));
}

TEST_F(Extraction, MemberWithoutCrcIsAccepted) {
  ExtractionRun run = ExtractArchiveHere(Level0Member({.name = "nocrc.txt", .data = "anything"}, false));
  EXPECT_FALSE(run.failed);
  EXPECT_EQ(ReadFileBytes("nocrc.txt"), "anything");
}

// The walk ends cleanly at the end byte, or where the file ends just as a
// header would start. A header cut short, an unknown header or a member
// whose data would end beyond the file, of whatever kind, is a broken
// archive: what came before it is extracted, the member itself is not
// touched, the run fails (nothing is installed) and the user is told.
TEST_F(Extraction, BrokenArchivesFailAndCleanEndsDoNot) {
  const std::string next = Level0Member({.name = "b.txt", .data = "B"});
  std::string unknown = Level0Member({.name = "b", .data = "x"}, false, "");
  unknown[0] += 1;  // S - N = 21
  std::string unreachable = Level0Member({.method = "-xyz-", .name = "c"});
  unreachable.replace(7, 4, Le32(0x7FFFFFFF));  // packed size
  // A member that lacks the last byte of its data.
  auto pastTheEnd = [](const char* method, const char* name) {
    const std::string member = Level0Member({.method = method, .name = name, .data = std::string(300, 'd')});
    return member.substr(0, member.size() - 1);
  };
  const struct {
    const char* what;
    std::string tail;
    bool broken;
  } cases[] = {{"end byte", std::string(1, '\0') + "junk", false},
               {"end of file", "", false},
               {"cut before the level byte", next.substr(0, 10), true},
               {"cut inside the header", next.substr(0, next.size() - 3), true},
               {"unknown header", unknown, true},
               {"unreachable member", unreachable, true},
               {"stored member past the end", pastTheEnd("-lh0-", "m"), true},
               {"compressed member past the end", pastTheEnd("-lh5-", "m"), true},
               {"folder member past the end", pastTheEnd("-lhd-", "m/"), true},
               {"member of an unknown method past the end", pastTheEnd("-xyz-", "m"), true}};
  for (const auto& c : cases) {
    ScratchFolder inner;
    ExtractionRun run = ExtractArchiveHere(Level0Member({.name = "a.txt", .data = "A"}) + c.tail);
    EXPECT_EQ(run.failed, c.broken) << c.what;
    // A broken archive is refused before its first member is written.
    EXPECT_EQ(FileExists("a.txt"), !c.broken) << c.what;
    EXPECT_FALSE(FileExists("m") || FolderExists("m")) << c.what;
    ASSERT_EQ(run.boxes.size(), c.broken ? 1u : 0u) << c.what;
    // "ファイルが不完全です。再ダウンロードしてください。" in Shift-JIS.
    if (c.broken) EXPECT_EQ(run.boxes[0].text, "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x95\x73\x8A\xAE\x91\x53\x82\xC5\x82\xB7\x81\x42\x8D\xC4\x83\x5F\x83\x45\x83\x93\x83\x8D\x81\x5B\x83\x68\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42") << c.what;
    EXPECT_EQ(run.names.size(), c.broken ? 0u : 1u) << c.what;
    EXPECT_EQ(Posted(WM_SFX_DONE), !c.broken) << c.what;
  }
}

TEST_F(Extraction, EmptyArchiveAndEmptyMembers) {
  ExtractionRun empty = ExtractArchiveHere(std::string(1, '\0'));
  EXPECT_TRUE(empty.names.empty());
  EXPECT_FALSE(empty.failed);
  EXPECT_TRUE(Posted(WM_SFX_DONE));
  ExtractionRun zeros = ExtractArchiveHere(Level0Member({.name = "e1"}) + Level1Member({.name = "e2"}));
  EXPECT_EQ(totalSize, 0u);
  EXPECT_TRUE(FileExists("e1") && FileExists("e2"));
  for (const HostWindowMessage& m : HostWindowMessages()) EXPECT_NE(m.message, (unsigned)PBM_SETPOS_MESSAGE);
}

TEST_F(Extraction, Level1MembersAreSkippedCorrectlyByBothWalks) {
  MemberSpec first{.name = "x", .data = std::string(3000, 'a')};
  first.extended = {{0x01, "first.bin"}, {0x02, "dir\xff"}};
  std::string archive = Level1Member(first) + Level1Member({.name = "second.txt", .data = "2"});
  ExtractionRun run = ExtractArchiveHere(archive);
  EXPECT_FALSE(run.failed);
  EXPECT_EQ(ReadFileBytes("dir/first.bin"), std::string(3000, 'a'));
  EXPECT_EQ(ReadFileBytes("second.txt"), "2");
  EXPECT_EQ(totalSize, 3001u);
}

TEST_F(Extraction, FolderMembersAreMadeAndCount) {
  MemberSpec folderEntry{.method = "-lhd-"};
  folderEntry.extended = {{0x02, "made\xff" "deeper\xff"}};
  std::string archive = Level2Member(folderEntry) + Level0Member({.name = "plain\\", .data = ""}) +
                        Level0Member({.method = "-lhd-", .name = "", .data = ""}) +
                        Level0Member({.name = "after.txt", .data = "ok"});
  ExtractionRun run = ExtractArchiveHere(archive);
  EXPECT_FALSE(run.failed);
  EXPECT_TRUE(FolderExists("made/deeper"));
  EXPECT_TRUE(FolderExists("plain"));
  EXPECT_EQ(ReadFileBytes("after.txt"), "ok");
}

TEST_F(Extraction, NamesReachingOutsideAreRefused) {
  for (const char* name : {"../escape.txt", "a/../../escape.txt", "C:escape.txt", "//server/escape.txt"}) {
    ScratchFolder inner;
    ExtractionRun run = ExtractArchiveHere(Level0Member({.name = name, .data = "bad"}) +
                                           Level0Member({.name = "later.txt", .data = "x"}));
    EXPECT_TRUE(run.failed) << name;
    ASSERT_EQ(run.boxes.size(), 1u) << name;
    EXPECT_NE(run.boxes[0].text.find("escape.txt"), std::string::npos);
    EXPECT_FALSE(FileExists("../escape.txt"));
    EXPECT_FALSE(FileExists("later.txt"));
  }
}

TEST_F(Extraction, NameTooLongIsRefused) {
  MemberSpec m{.data = "x"};
  m.extended = {{0x02, std::string(200, 'd') + "\xff"}, {0x01, std::string(100, 'f')}};
  ExtractionRun run = ExtractArchiveHere(Level2Member(m));
  EXPECT_TRUE(run.failed);
  EXPECT_EQ(run.boxes.size(), 1u);
}

// A file limit standing in for a full disk, set once the extraction has
// begun (the archive itself is a temporary file).
void LimitFileSizeOnFirstName(const HostWindowMessage& m) {
  static const rlimit limit = {64 * 1024, RLIM_INFINITY};
  if (m.message == WM_SFX_FILENAME) setrlimit(RLIMIT_FSIZE, &limit);
}

// A member file that cannot be made, or not written whole, fails the run
// with the box naming it; no part of it stays behind and nothing after it
// is extracted.
TEST_F(Extraction, UnwritableMembersFailWithABox) {
  mkdir("taken", 0777);  // a folder where the file should go
  ExtractionRun unopenable = ExtractArchiveHere(Level0Member({.name = "taken", .data = "x"}) +
                                                Level0Member({.name = "later.txt", .data = "x"}));
  EXPECT_TRUE(unopenable.failed);
  ASSERT_EQ(unopenable.boxes.size(), 1u);
  EXPECT_NE(unopenable.boxes[0].text.find("taken"), std::string::npos);
  EXPECT_FALSE(FileExists("later.txt"));

  signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
  rlimit before;
  getrlimit(RLIMIT_FSIZE, &before);
  ExtractionRun full = ExtractArchiveHere(Level0Member({.name = "big.bin", .data = std::string(200000, 'x')}) +
                                              Level0Member({.name = "later.txt", .data = "x"}),
                                          LimitFileSizeOnFirstName);
  setrlimit(RLIMIT_FSIZE, &before);
  EXPECT_TRUE(full.failed);
  ASSERT_EQ(full.boxes.size(), 1u);
  EXPECT_NE(full.boxes[0].text.find("big.bin"), std::string::npos);
  EXPECT_FALSE(FileExists("big.bin"));
  EXPECT_FALSE(FileExists("later.txt"));
}

TEST_F(Extraction, ShellExtensionInUseIsReportedAndUnregistered) {
  HostReset();
  mkdir("VornDll.dll", 0777);  // stands for the file being locked
  HostRegistryKeys()[HostKeyName(HKEY_CLASSES_ROOT, kFileHandlerKey)];
  HostRegistryKeys()[HostKeyName(HKEY_CLASSES_ROOT, kFolderHandlerKey)];
  HostRegistryKeys()[HostKeyName(HKEY_CLASSES_ROOT, kClsidKey)];
  HostRegistryKeys()[HostKeyName(HKEY_CLASSES_ROOT, kInprocServerKey)];
  SessionOnBytes on(Level0Member({.name = "VornDll.dll", .data = "MZ"}));
  SetSessionString(&on.session.title, "My Setup", 8);
  abortRequested = 0;
  LzhEntry entry;
  ASSERT_TRUE(ReadMemberHeader(&on.session, &entry));
  EXPECT_FALSE(ExtractMember(&on.session, &entry));
  ASSERT_EQ(HostMessageBoxes().size(), 1u);
  EXPECT_EQ(HostMessageBoxes()[0].caption, "My Setup");
  EXPECT_EQ(HostMessageBoxes()[0].type, (unsigned)MB_ICONERROR);
  HostRegistry& keys = HostRegistryKeys();
  EXPECT_FALSE(keys.count(HostKeyName(HKEY_CLASSES_ROOT, kFileHandlerKey)));
  EXPECT_FALSE(keys.count(HostKeyName(HKEY_CLASSES_ROOT, kClsidKey)));
  EXPECT_FALSE(keys.count(HostKeyName(HKEY_CLASSES_ROOT, kInprocServerKey)));
  EXPECT_TRUE(keys.count(HostKeyName(HKEY_CLASSES_ROOT, kFolderHandlerKey)));  // not among those removed
}

// Abort while the second member is named: that member is deleted, the
// first stays, and the worker reports the abort.
TEST_F(Extraction, AbortDeletesOnlyTheMemberBeingWritten) {
  static int named = 0;
  named = 0;
  auto pressAbortAtSecondMember = [](const HostWindowMessage& m) {
    if (m.message == WM_SFX_FILENAME && ++named == 2) abortRequested = 1;
  };
  std::string archive = Level0Member({.name = "first.txt", .data = "1"}) +
                        Level0Member({.name = "big.bin", .data = std::string(10000, 'b')}) +
                        Level0Member({.name = "third.txt", .data = "3"});
  ExtractionRun run = ExtractArchiveHere(archive, pressAbortAtSecondMember);
  abortRequested = 0;
  EXPECT_TRUE(run.failed);
  EXPECT_TRUE(Posted(WM_SFX_ABORTED));
  EXPECT_FALSE(Posted(WM_SFX_DONE));
  EXPECT_EQ(ReadFileBytes("first.txt"), "1");
  EXPECT_FALSE(FileExists("big.bin"));
  EXPECT_FALSE(FileExists("third.txt"));
}

TEST_F(Extraction, StoredMembersReportProgressPerChunk) {
  // 5000 bytes go in chunks of 2048, 2048 and 904; with a total of 100000
  // the bar moves to 2, 4 and 5.
  std::string archive = Level0Member({.name = "s.bin", .data = std::string(5000, 's')}) +
                        Level0Member({.name = "rest.bin", .originalSize = 95000, .storedSize = false,
                                      .computeCrc = false}, false);
  ExtractArchiveHere(archive);
  std::vector<uintptr_t> positions;
  for (const HostWindowMessage& m : HostWindowMessages())
    if (m.message == PBM_SETPOS_MESSAGE) positions.push_back(m.wParam);
  ASSERT_GE(positions.size(), 3u);
  EXPECT_EQ(std::vector<uintptr_t>(positions.begin(), positions.begin() + 3), (std::vector<uintptr_t>{2, 4, 5}));
}

TEST_F(Extraction, DestinationFolderIsCreatedLevelByLevel) {
  HostReset();
  SfxSession session;
  InitSession(&session, nullptr);
  std::string target = folder.path() + "/one/two/three";
  EXPECT_TRUE(EnsureDestinationFolder(&session, target.c_str()));
  EXPECT_TRUE(FolderExists(target));
  char current[4096];
  EXPECT_EQ(std::string(getcwd(current, sizeof current)), target);
  EXPECT_EQ(NotifiedPaths(SHCNE_MKDIR), std::vector<std::string>{folder.path() + "/one"});
  EXPECT_TRUE(HostMessageBoxes().empty());
  EXPECT_TRUE(EnsureDestinationFolder(&session, target.c_str()));  // exists: nothing more
  EXPECT_TRUE(HostMessageBoxes().empty());
  EXPECT_FALSE(EnsureDestinationFolder(&session, ""));
  EXPECT_FALSE(EnsureDestinationFolder(&session, (folder.path() + "/" + std::string(300, 'x')).c_str()));
  WriteFileBytes(folder.path() + "/file", "");
  EXPECT_FALSE(EnsureDestinationFolder(&session, (folder.path() + "/file/sub").c_str()));
  ASSERT_EQ(HostMessageBoxes().size(), 3u);
  // "フォルダを作成できません", a warning without a caption of its own.
  EXPECT_EQ(HostMessageBoxes()[0].text,
            "\x83t\x83H\x83\x8B\x83_\x82\xF0\x8D\xEC\x90\xAC\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1");
  EXPECT_EQ(HostMessageBoxes()[0].type, (unsigned)MB_ICONWARNING);
  CloseSession(&session);
}

}  // namespace
