#include "test_support.h"

#include <dirent.h>
#include <ftw.h>
#include <stdint.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "archive/progress.h"
#include "archive/worker.h"
#include "archive/worker.h"

static int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  chmod(path, 0700);
  return remove(path);
}

ScratchFolder::ScratchFolder() {
  char pattern[] = "/tmp/vorn-test-XXXXXX";
  path_ = mkdtemp(pattern);
  char current[4096];
  previous_ = getcwd(current, sizeof current);
  if (chdir(path_.c_str()) != 0) abort();
}

ScratchFolder::~ScratchFolder() {
  if (chdir(previous_.c_str()) != 0) abort();
  nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), (std::streamsize)bytes.size());
}

bool FileExists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

static void ReadTreeInto(const std::string& folder, const std::string& below, FolderTree* tree) {
  DIR* dir = opendir((folder + "/" + below).c_str());
  if (!dir) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = below + name;
    if (FolderExists(folder + "/" + path)) {
      (*tree)[path + "/"] = "";
      ReadTreeInto(folder, path + "/", tree);
    } else {
      (*tree)[path] = ReadFileBytes(folder + "/" + path);
    }
  }
  closedir(dir);
}

FolderTree ReadTree(const std::string& folder) {
  FolderTree tree;
  ReadTreeInto(folder, "", &tree);
  return tree;
}

void WriteTree(const std::string& folder, const FolderTree& tree) {
  mkdir(folder.c_str(), 0777);
  for (const auto& [path, bytes] : tree) {  // in order: a folder before what it holds
    if (path.back() == '/') mkdir((folder + "/" + path).c_str(), 0777);
    else WriteFileBytes(folder + "/" + path, bytes);
  }
}

std::string Le16(unsigned value) { return std::string{(char)(value & 0xFF), (char)((value >> 8) & 0xFF)}; }
std::string Le32(unsigned value) { return Le16(value & 0xFFFF) + Le16(value >> 16); }

SessionOnBytes::SessionOnBytes(const std::string& bytes) {
  InitSession(&session, nullptr);
  session.own_file = tmpfile();
  fwrite(bytes.data(), 1, bytes.size(), session.own_file);
  rewind(session.own_file);
}

SessionOnBytes::~SessionOnBytes() { CloseSession(&session); }

ExtractionRun ExtractArchiveHere(const std::string& archiveBytes, void (*hook)(const HostWindowMessage&)) {
  HostReset();
  HostSetMessageHook(hook);
  SessionOnBytes on(archiveBytes);
  char current[4096];
  if (!getcwd(current, sizeof current)) abort();
  SetSessionString(&on.session.destination, current, strlen(current));
  totalSize = completedSize = lastPercentage = 0;
  abortRequested = 0;
  // As the stub runs: the pre-scan at start-up, which refuses a broken
  // archive before anything is written, then the worker.
  if (ScanArchive(&on.session)) ExtractionWorker(&on.session);
  else ReportBrokenArchive(&on.session);
  HostSetMessageHook(nullptr);
  ExtractionRun run;
  run.failed = on.session.failed;
  for (const HostWindowMessage& m : HostWindowMessages()) {
    if (m.message == WM_SFX_FILENAME) run.names.push_back(m.text);
    if (m.message == WM_SFX_ABORTED) run.aborted = true;
  }
  run.boxes = HostMessageBoxes();
  return run;
}

std::vector<ManifestRow> ReadManifest(const std::string& path) {
  std::vector<ManifestRow> rows;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, '\t')) fields.push_back(field);
    if (fields.size() < 6) continue;
    ManifestRow row;
    row.archive = fields[0];
    row.name = HexDecode(fields[1]);
    row.size = std::stoul(fields[3]);
    row.sha256 = fields[4];
    row.folder = fields[5] == "1";
    if (fields.size() > 6) row.method = fields[6];
    rows.push_back(row);
  }
  return rows;
}

std::string CorpusDir() { return VORN_CORPUS_DIR; }

std::string HexDecode(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += (char)std::stoi(hex.substr(i, 2), nullptr, 16);
  return bytes;
}

// SHA-256 (FIPS 180-4), for checking extracted members against manifests.
std::string Sha256Hex(const std::string& message) {
  static const uint32_t k[64] = {
      0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
      0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
      0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
      0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
      0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
      0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
      0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
      0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
  uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::string data = message;
  uint64_t bits = (uint64_t)message.size() * 8;
  data += (char)0x80;
  while (data.size() % 64 != 56) data += (char)0;
  for (int i = 7; i >= 0; --i) data += (char)(bits >> (i * 8));
  auto rotr = [](uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };
  for (size_t chunk = 0; chunk < data.size(); chunk += 64) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
      const unsigned char* p = (const unsigned char*)data.data() + chunk + i * 4;
      w[i] = (uint32_t)p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3];
    }
    for (int i = 16; i < 64; ++i) {
      uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
    for (int i = 0; i < 64; ++i) {
      uint32_t t1 = hh + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
      uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      hh = g; g = f; f = e; e = d + t1; d = c; c = b; b = a; a = t1 + t2;
    }
    h[0] += a; h[1] += b; h[2] += c; h[3] += d; h[4] += e; h[5] += f; h[6] += g; h[7] += hh;
  }
  char hex[65];
  for (int i = 0; i < 8; ++i) snprintf(hex + i * 8, 9, "%08x", h[i]);
  return hex;
}

uint16_t Crc16(const std::string& bytes) {
  uint16_t crc = 0;
  for (unsigned char b : bytes) crc = Crc16Add(crc, b);
  return crc;
}

static uint32_t OriginalSize(const MemberSpec& m) { return m.storedSize ? (uint32_t)m.data.size() : m.originalSize; }
static uint16_t MemberCrc(const MemberSpec& m) { return m.computeCrc ? Crc16(m.data) : m.crc; }

static std::string CommonFields(const MemberSpec& m, uint32_t packedSize) {
  return m.method + Le32(packedSize) + Le32(OriginalSize(m)) + Le32(m.stamp) + (char)m.attribute;
}

static std::string ExtendedChain(const MemberSpec& m) {
  std::string chain;
  for (const ExtendedHeader& e : m.extended) chain += Le16((unsigned)e.data.size() + 3) + (char)e.type + e.data;
  return chain;
}

// Levels 0 and 1: the size byte, then the checksum (the sum) of the S bytes after it.
static std::string SizeAndChecksum(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char byte : body) sum += byte;
  return std::string(1, (char)body.size()) + (char)sum;
}

std::string Level0Member(const MemberSpec& m, bool withCrc, const std::string& extension) {
  std::string body = CommonFields(m, (uint32_t)m.data.size()) + '\0' + (char)m.name.size() + m.name;
  if (withCrc) body += Le16(MemberCrc(m)) + extension;
  return SizeAndChecksum(body) + body + m.data;
}

std::string Level1Member(const MemberSpec& m) {
  // Each extended header's size field is carried by the header before it.
  std::string chain;
  std::vector<std::string> parts;
  for (const ExtendedHeader& e : m.extended) parts.push_back((char)e.type + e.data);
  uint32_t extendedBytes = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string next = i + 1 < parts.size() ? Le16((unsigned)parts[i + 1].size() + 2) : Le16(0);
    chain += parts[i] + next;
    extendedBytes += (uint32_t)parts[i].size() + 2;
  }
  std::string first = parts.empty() ? Le16(0) : Le16((unsigned)parts[0].size() + 2);
  std::string body = CommonFields(m, (uint32_t)m.data.size() + extendedBytes) + '\1' + (char)m.name.size() +
                     m.name + Le16(MemberCrc(m)) + (char)m.osId;
  // The size byte counts from offset 2 through the first extended-header size.
  return SizeAndChecksum(body + first) + body + first + chain + m.data;
}

std::string Level2Member(const MemberSpec& m) {
  std::string chain;
  std::vector<std::string> parts;
  for (const ExtendedHeader& e : m.extended) parts.push_back((char)e.type + e.data);
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string next = i + 1 < parts.size() ? Le16((unsigned)parts[i + 1].size() + 2) : Le16(0);
    chain += parts[i] + next;
  }
  std::string first = parts.empty() ? Le16(0) : Le16((unsigned)parts[0].size() + 2);
  std::string rest = CommonFields(m, (uint32_t)m.data.size()) + '\2' + Le16(MemberCrc(m)) + (char)m.osId + first + chain;
  uint32_t total = (uint32_t)rest.size() + 2;
  return Le16(total) + rest + m.data;
}
