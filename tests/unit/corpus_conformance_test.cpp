// Every archive of the two conformance corpora extracts to exactly the bytes
// its manifest lists: the jLHA corpus (every method at header levels 0, 1
// and 2) and the peer corpus (real archives of many historic archivers).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>

#include "test_support.h"

namespace {

struct CorpusArchive {
  std::string corpus, archive;
  std::vector<ManifestRow> rows;
};

void PrintTo(const CorpusArchive& archive, std::ostream* out) { *out << archive.corpus << "/" << archive.archive; }

std::vector<CorpusArchive> LoadCorpus(const std::string& corpus) {
  std::map<std::string, CorpusArchive> byArchive;
  for (const ManifestRow& row : ReadManifest(CorpusDir() + "/" + corpus + "/MANIFEST.tsv")) {
    CorpusArchive& entry = byArchive[row.archive];
    entry.corpus = corpus;
    entry.archive = row.archive;
    entry.rows.push_back(row);
  }
  std::vector<CorpusArchive> archives;
  for (auto& [name, entry] : byArchive) archives.push_back(entry);
  return archives;
}

std::set<std::string> ExcludedPeerArchives() {
  std::set<std::string> excluded;
  std::ifstream in(CorpusDir() + "/peer/EXCLUDED.tsv");
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) excluded.insert(line.substr(0, line.find('\t')));
  return excluded;
}

std::string TestName(const testing::TestParamInfo<CorpusArchive>& info) {
  std::string name = info.param.corpus + "_" + info.param.archive;
  for (char& c : name)
    if (!isalnum((unsigned char)c)) c = '_';
  return name;
}

class CorpusConformance : public testing::TestWithParam<CorpusArchive> {};

TEST_P(CorpusConformance, ExtractsExactlyTheManifestBytes) {
  const CorpusArchive& archive = GetParam();
  ScratchFolder folder;
  ExtractionRun run = ExtractArchiveHere(ReadFileBytes(CorpusDir() + "/" + archive.corpus + "/" + archive.archive));
  EXPECT_FALSE(run.failed);
  EXPECT_TRUE(run.boxes.empty()) << run.boxes[0].text;
  for (const ManifestRow& row : archive.rows) {
    if (row.folder) {
      if (!row.name.empty()) EXPECT_TRUE(FolderExists(row.name)) << row.name;
      continue;
    }
    ASSERT_TRUE(FileExists(row.name)) << row.name;
    std::string bytes = ReadFileBytes(row.name);
    EXPECT_EQ(bytes.size(), row.size) << row.name;
    EXPECT_EQ(Sha256Hex(bytes), row.sha256) << row.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Jlha, CorpusConformance, testing::ValuesIn(LoadCorpus("jlha")), TestName);

std::vector<CorpusArchive> IncludedPeerArchives() {
  std::set<std::string> excluded = ExcludedPeerArchives();
  std::vector<CorpusArchive> included;
  for (const CorpusArchive& archive : LoadCorpus("peer"))
    if (!excluded.count(archive.archive)) included.push_back(archive);
  return included;
}

INSTANTIATE_TEST_SUITE_P(Peer, CorpusConformance, testing::ValuesIn(IncludedPeerArchives()), TestName);

// Archives that need not extract must still end cleanly: a refused header,
// a failed member or a CRC failure, never a crash.
TEST(CorpusConformance, ExcludedPeerArchivesEndCleanly) {
  for (const std::string& archive : ExcludedPeerArchives()) {
    ScratchFolder folder;
    ExtractionRun run = ExtractArchiveHere(ReadFileBytes(CorpusDir() + "/peer/" + archive));
    EXPECT_TRUE(run.failed || !run.boxes.empty()) << archive;
  }
}

}  // namespace
