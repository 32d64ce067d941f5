// Helpers shared by the native tests.
#pragma once
#include <map>
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

// The files and folders below a folder by their path in it: a file's
// bytes, and "" for a folder, whose path ends in '/'.
using FolderTree = std::map<std::string, std::string>;
FolderTree ReadTree(const std::string& folder);
// Makes the files and folders of `tree` below `folder`.
void WriteTree(const std::string& folder, const FolderTree& tree);
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
// `hook` sees every window message as it is sent (e.g. to press Abort).
ExtractionRun ExtractArchiveHere(const std::string& archiveBytes,
                                 void (*hook)(const HostWindowMessage&) = nullptr);

// One row of a corpus MANIFEST.tsv.
struct ManifestRow {
  std::string archive, name, sha256, method;
  size_t size = 0;
  bool folder = false;
};
std::vector<ManifestRow> ReadManifest(const std::string& path);
std::string CorpusDir();
std::string HexDecode(const std::string& hex);

// CRC-16/ARC, computed bit by bit, independently of the decoders' table:
// of bytes, or one byte more (from 0, for bytes as they come).
inline uint16_t Crc16Add(uint16_t crc, unsigned char byte) {
  crc ^= byte;
  for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  return crc;
}
uint16_t Crc16(const std::string& bytes);

// Builds LZH member headers byte by byte, so that tests can state exactly
// what a header holds.
struct ExtendedHeader {
  unsigned char type;
  std::string data;
};

struct MemberSpec {
  std::string method = "-lh0-";
  std::string name;          // base-header name (levels 0 and 1)
  std::string data;          // member data as stored
  uint32_t originalSize = 0; // defaults to data.size() when `data` is stored
  bool storedSize = true;    // originalSize := data.size()
  uint32_t stamp = 0;
  uint16_t crc = 0;
  bool computeCrc = true;    // crc := Crc16(data)
  unsigned char attribute = 0x20;
  unsigned char osId = 'M';
  std::vector<ExtendedHeader> extended;
};

// Level 0: CRC present (S - N = 22) unless withCrc is false (S - N = 20);
// `extension` bytes follow the CRC (the first is the OS id).
std::string Level0Member(const MemberSpec& m, bool withCrc = true, const std::string& extension = "");
std::string Level1Member(const MemberSpec& m);
std::string Level2Member(const MemberSpec& m);
