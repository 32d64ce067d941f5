// The publisher's encoder: a folder packed with each method and level comes
// back byte for byte, with its names and times, through the stub's own
// extraction and through lhasa; code lengths stay within 16 bits however
// skewed the counts.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <random>

#include "archive/header_reader.h"
#include "encode/folder_members.h"
#include "encode/huffman_code.h"
#include "system/sjis_names.h"
#include "test_support.h"

namespace {

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes;
  while (bytes.size() < size) bytes += (char)random();
  return bytes;
}

// Runs of words, of binary records with noise, and of one byte repeated,
// in turn: many blocks whose statistics change, matches of every length.
std::string Mixed(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"member", "header", "\x89\xf0\x93\x80", "install", "folder", "the", "of",
                                       "\x83\x74\x83\x40\x83\x43\x83\x8b", "dictionary", "a", "window"};
  std::mt19937 random(seed);
  std::string data;
  while (data.size() < size) {
    const size_t runEnd = data.size() + 2000 + random() % 30000;
    const unsigned kind = random() % 3;
    while (data.size() < runEnd) {
      if (kind == 0) {
        data += kWords[random() % 11];
        data += random() % 10 ? " " : "\r\n";
      } else if (kind == 1) {
        data += std::string(4, (char)data.size()) + RandomBytes(random() % 6, random());
      } else {
        data.append(random() % 300, (char)random());
      }
    }
  }
  data.resize(size);
  return data;
}

// A random block repeated at each method's dictionary size: the farthest
// matches a method can reach, and those just beyond.
std::string Repeats(uint32_t seed) {
  std::string data;
  for (size_t period : {8192, 32768, 65536}) {
    const std::string block = RandomBytes(period, seed++);
    data += block + block + block;
  }
  return data;
}

// UTF-8 names: nested folders, Shift-JIS names whose second bytes are
// backslashes (表, ソ), an empty folder, a name that makes the header 256
// bytes long (its first byte would read as the archive's end), and files
// that are empty, one byte, incompressible, and large.
FolderTree SourceTree() {
  return {
      {"mixed.bin", Mixed(700000, 1)},
      {"repeats.bin", Repeats(2)},
      {"random.bin", RandomBytes(70000, 3)},
      {"zeros.bin", std::string(300000, '\0')},
      {"empty.txt", ""},
      {"one.txt", "x"},
      {std::string(218, 'n') + ".txt", "padded header"},
      {"フォルダ/", ""},
      {"フォルダ/表示/", ""},
      {"フォルダ/表示/ソース.txt", Mixed(5000, 4)},
      {"空のフォルダ/", ""},
  };
}

const uint32_t kFileTime = 1500000000;

// The tree as extraction writes it on Linux: the names in Shift-JIS.
FolderTree InShiftJis(const FolderTree& tree) {
  FolderTree converted;
  for (const auto& [path, bytes] : tree) {
    std::string name;
    EXPECT_TRUE(Utf8ToShiftJis(path, &name)) << path;
    converted[name] = bytes;
  }
  return converted;
}

std::string Pack(const std::string& folder, const StaticMethod& method, int level, unsigned workers = 0) {
  std::vector<ArchiveMember> members;
  std::vector<std::string> skipped;
  std::string error;
  EXPECT_TRUE(FolderMembers(folder, &members, &skipped, &error)) << error;
  FILE* out = tmpfile();
  EXPECT_TRUE(WriteLzhArchive(out, members, method, level, &error, workers)) << error;
  rewind(out);
  std::string bytes;
  char buffer[65536];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, out)) > 0;) bytes.append(buffer, n);
  fclose(out);
  return bytes;
}

// Member name and method id, in the order of the archive.
std::map<std::string, std::string> MemberMethods(const std::string& archive) {
  SessionOnBytes on(archive);
  std::map<std::string, std::string> methods;
  LzhEntry entry;
  while (ReadMemberHeader(&on.session, &entry)) {
    methods[entry.name] = std::string(entry.method_id, 5);
    fseek(on.session.own_file, entry.packed_size, SEEK_CUR);
  }
  return methods;
}

void ExpectFileTimes(const std::string& folder, const FolderTree& tree) {
  for (const auto& [path, bytes] : tree) {
    struct stat status;
    if (path.back() != '/' && stat((folder + "/" + path).c_str(), &status) == 0)
      EXPECT_EQ((uint32_t)status.st_mtime, kFileTime) << path;
  }
}

TEST(EncoderRoundTrip, EveryMethodAndLevelThroughTheStubsExtractionAndLhasa) {
  ScratchFolder scratch;
  const FolderTree source = SourceTree();
  WriteTree("source", source);
  for (const auto& [path, bytes] : source) {
    const utimbuf times = {kFileTime, kFileTime};
    if (path.back() != '/') utime(("source/" + path).c_str(), &times);
  }
  const FolderTree expected = InShiftJis(source);
  const struct {
    const char* method;
    std::vector<int> levels;
  } kRuns[] = {{"lh5", {1, 4, 7}}, {"lh6", {2, 5, 8}}, {"lh7", {1, 2, 3, 4, 5, 6, 7, 8, 9}}};
  for (const auto& run : kRuns) {
    const StaticMethod& method = *StaticMethodNamed(run.method);
    for (int level : run.levels) {
      SCOPED_TRACE(std::string(method.id) + " level " + std::to_string(level));
      const std::string archive = Pack("source", method, level);
      ASSERT_EQ(archive.back(), '\0');
      const std::map<std::string, std::string> methods = MemberMethods(archive);
      EXPECT_EQ(methods.at("mixed.bin"), method.id);
      EXPECT_EQ(methods.at("random.bin"), "-lh0-");
      EXPECT_EQ(methods.at("empty.txt"), "-lh0-");
      EXPECT_EQ(methods.at(expected.rbegin()->first), "-lhd-");

      ASSERT_EQ(system("rm -rf stub lhasa && mkdir stub lhasa"), 0);
      ASSERT_EQ(chdir("stub"), 0);
      const ExtractionRun extraction = ExtractArchiveHere(archive);
      ASSERT_EQ(chdir(".."), 0);
      EXPECT_FALSE(extraction.failed);
      EXPECT_TRUE(ReadTree("stub") == expected);
      ExpectFileTimes("stub", expected);

      WriteFileBytes("archive.lzh", archive);
      EXPECT_EQ(system("cd lhasa && lhasa xq ../archive.lzh"), 0) << "lhasa (Debian package lhasa) failed";
      EXPECT_TRUE(ReadTree("lhasa") == expected);
      ExpectFileTimes("lhasa", expected);
    }
  }
}

// Members packed side by side come out exactly as packed one after the
// other, however many workers there are: files small enough to be packed
// in memory, larger ones the writer packs itself meanwhile (with more
// waiting behind them than the workers may hold), files stored whole or
// given up on and stored after all, empty ones and folders.
TEST(EncoderRoundTrip, WorkersWriteTheSameArchiveAsOne) {
  ScratchFolder scratch;
  FolderTree tree = {{"a/", ""}, {"a/empty.txt", ""}, {"a/one.txt", "x"}, {"b/", ""}};
  tree["a/large.bin"] = Mixed(1500000, 10);
  tree["a/random.bin"] = RandomBytes(400000, 11);
  tree["a/random-small.bin"] = RandomBytes(5000, 12);
  for (int i = 0; i < 8; ++i) tree["b/" + std::to_string(i) + ".bin"] = Mixed(700000, 20 + i);
  for (int i = 0; i < 40; ++i) tree["b/small" + std::to_string(i) + ".txt"] = Mixed(3000 + 500 * i, 40 + i);
  WriteTree("source", tree);
  const std::string serial = Pack("source", kDefaultMethod, DEFAULT_LEVEL, 1);
  const std::map<std::string, std::string> methods = MemberMethods(serial);
  EXPECT_EQ(methods.at("a/random.bin"), "-lh0-");
  EXPECT_EQ(methods.at("a/large.bin"), "-lh7-");
  for (unsigned workers : {2, 3, 8}) EXPECT_TRUE(Pack("source", kDefaultMethod, DEFAULT_LEVEL, workers) == serial) << workers;
}

// Counts that grow like the Fibonacci numbers give a Huffman tree one
// level deeper for every symbol: far beyond 16 bits without the limit.
TEST(HuffmanCode, LengthsStayWithin16BitsAndStillFillTheCode) {
  uint32_t counts[40] = {1, 1};
  for (int i = 2; i < 40; ++i) counts[i] = counts[i - 1] + counts[i - 2];
  unsigned char lengths[40];
  BuildCodeLengths(counts, 40, lengths);
  uint64_t kraft = 0;  // in units of 2^-16
  for (unsigned char length : lengths) {
    EXPECT_GE(length, 1);
    EXPECT_LE(length, MAX_CODE_BITS);
    kraft += 1ull << (MAX_CODE_BITS - length);
  }
  EXPECT_EQ(kraft, 1ull << MAX_CODE_BITS);
  EXPECT_LE(lengths[39], lengths[0]);  // the commoner symbol never gets the longer code
}

}  // namespace
