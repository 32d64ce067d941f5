// Helpers shared by the native tests.
#pragma once
#include <string>
#include <vector>

#include "session/session.h"
#include "win32_host.h"

// A fresh empty folder that is the current directory for the test's life.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& path() const { return path_; }

 private:
  std::string path_, previous_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
std::string Sha256Hex(const std::string& bytes);

// Little-endian bytes of a value.
std::string Le16(unsigned value);
std::string Le32(unsigned value);

// A session whose own_file reads `bytes` from the start (a temporary file).
struct SessionOnBytes {
  explicit SessionOnBytes(const std::string& bytes);
  ~SessionOnBytes();
  SfxSession session;
};

// Runs the extraction worker over a whole archive file into the current
// directory, as the stub does after the configuration block.
struct ExtractionRun {
  bool failed = false;
  bool aborted = false;
  std::vector<std::string> names;  // WM_SFX_FILENAME, in order
  std::vector<HostMessageBox> boxes;
};
ExtractionRun ExtractArchiveHere(const std::string& archiveBytes);

// One row of a corpus MANIFEST.tsv.
struct ManifestRow {
  std::string archive, name, sha256, method;
  size_t size = 0;
  bool folder = false;
};
std::vector<ManifestRow> ReadManifest(const std::string& path);
std::string CorpusDir();
std::string HexDecode(const std::string& hex);
