#include "lzh_archive.h"

#include <string.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "crc16.h"
#include "system/local_files.h"
#include "system/streams.h"

namespace {

enum : unsigned char {
  HEADER_CRC = 0x00,
  FILE_NAME = 0x01,
  FOLDER_NAME = 0x02,
  ATTRIBUTE_FOLDER = 0x10,
  ATTRIBUTE_ARCHIVE = 0x20,
  // Windows NT: the members are made for Windows, named in its code page,
  // with its attributes in byte 19. (The MS-DOS id would make some readers
  // take all-capital names for lower-case ones.)
  OS_ID = 'W',
};
const char kStoredMethod[] = "-lh0-";
const char kFolderMethod[] = "-lhd-";

struct MemberFields {
  const char* method;
  uint32_t packed, original;
  uint16_t crc;
};

void AppendLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += (char)(value >> (8 * i));
}

void PutLe16(std::string& out, size_t at, uint32_t value) {
  out[at] = (char)value;
  out[at + 1] = (char)(value >> 8);
}

// Appends an extended header (its size, type and data); returns where its
// data begins.
size_t AppendExtended(std::string& header, unsigned char type, const std::string& data) {
  AppendLe(header, (uint32_t)(1 + data.size() + 2), 2);
  header += (char)type;
  header += data;
  return header.size() - data.size();
}

// The level-2 header: sizes, Unix time, CRC-16 and OS id in the base
// header; the header's own CRC, the file name and the folder name (with '/'
// separators and a '/' at its end) in extended headers. (The time is not
// repeated in an extended header of its own: readers take the base
// header's.) Its length depends on the name alone.
std::string Level2Header(const ArchiveMember& member, const MemberFields& fields) {
  std::string header(2, '\0');
  header.append(fields.method, 5);
  AppendLe(header, fields.packed, 4);
  AppendLe(header, fields.original, 4);
  AppendLe(header, member.mtime, 4);
  header += (char)(member.folder ? ATTRIBUTE_FOLDER : ATTRIBUTE_ARCHIVE);
  header += '\2';
  AppendLe(header, fields.crc, 2);
  header += (char)OS_ID;
  const size_t crcAt = AppendExtended(header, HEADER_CRC, std::string(2, '\0'));
  const size_t slash = member.name.rfind('/', member.name.size() - 2);
  const size_t fileStart = member.folder ? member.name.size() : slash == std::string::npos ? 0 : slash + 1;
  if (fileStart < member.name.size()) AppendExtended(header, FILE_NAME, member.name.substr(fileStart));
  if (fileStart > 0) AppendExtended(header, FOLDER_NAME, member.name.substr(0, fileStart));
  AppendLe(header, 0, 2);
  // A first byte of 0 would read as the end of the archive.
  if ((header.size() & 0xFF) == 0) header += '\0';
  PutLe16(header, 0, (uint32_t)header.size());
  PutLe16(header, crcAt, Crc16Update(0, (const unsigned char*)header.data(), header.size()));
  return header;
}

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

bool WriteBytes(FILE* out, const std::string& bytes) {
  return fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

// Copies the whole input to the output as it is.
EncodeResult CopyStored(FILE* input, FILE* output) {
  EncodeResult result = {ENCODE_DONE, 0, 0, 0};
  unsigned char buffer[1 << 16];
  size_t got;
  rewind(input);
  while ((got = fread(buffer, 1, sizeof buffer, input)) > 0) {
    result.crc = Crc16Update(result.crc, buffer, got);
    result.originalSize += got;
    if (fwrite(buffer, 1, got, output) != got) result.status = ENCODE_WRITE_FAILED;
  }
  if (ferror(input)) result.status = ENCODE_READ_FAILED;
  result.packedSize = result.originalSize;
  return result;
}

// A file member's data as it goes into the archive: compressed, or stored
// when that is no smaller.
struct PackedData {
  const char* methodId;
  EncodeResult result;
};

// Packs the member into `data` from its position on.
PackedData PackData(const ArchiveMember& member, FILE* data, const StaticMethod& method, int level) {
  std::unique_ptr<FILE, int (*)(FILE*)> input(OpenLocalFile(member.source, "rb"), fclose);
  if (!input) return {method.id, {ENCODE_READ_FAILED, 0, 0, 0}};
  const off_t start = ftello(data);
  PackedData packed = {method.id, EncodeMember(input.get(), data, method, level, member.size)};
  if (packed.result.status == ENCODE_STORED) packed.methodId = kStoredMethod;
  if (packed.result.status == ENCODE_NOT_SHRUNK) {
    packed.methodId = kStoredMethod;
    packed.result = fseeko(data, start, SEEK_SET) == 0 ? CopyStored(input.get(), data)
                                                        : EncodeResult{ENCODE_WRITE_FAILED, 0, 0, 0};
  }
  return packed;
}

// The header of a packed member; false with `error` set when the member
// could not be packed whole.
bool PackedHeader(const ArchiveMember& member, const PackedData& packed, std::string* header, std::string* error) {
  const EncodeResult& result = packed.result;
  if (result.status == ENCODE_READ_FAILED) return Fail(error, "cannot read " + member.source);
  if (result.originalSize != member.size) return Fail(error, member.source + " changed while it was being packed");
  if (result.status == ENCODE_WRITE_FAILED) return Fail(error, "cannot write the output");
  *header = Level2Header(member, {packed.methodId, (uint32_t)result.packedSize, (uint32_t)result.originalSize,
                                  result.crc});
  return true;
}

// Packs a member straight into the archive behind the room left for its
// header, then writes the header.
bool WriteFileMember(FILE* out, const ArchiveMember& member, const StaticMethod& method, int level,
                     std::string* error) {
  const off_t headerAt = ftello(out);
  const size_t headerLength = Level2Header(member, {method.id, 0, 0, 0}).size();
  if (fseeko(out, headerAt + (off_t)headerLength, SEEK_SET) != 0) return Fail(error, "cannot write the output");
  const PackedData packed = PackData(member, out, method, level);
  std::string header;
  if (!PackedHeader(member, packed, &header, error)) return false;
  if (fseeko(out, headerAt, SEEK_SET) != 0 || !WriteBytes(out, header) ||
      fseeko(out, headerAt + (off_t)(headerLength + packed.result.packedSize), SEEK_SET) != 0)
    return Fail(error, "cannot write the output");
  return true;
}

// --- Members packed side by side ---------------------------------------------------

enum : uint64_t {
  // A file up to this size is packed by a worker into memory; a larger one
  // by the writer, straight into the archive, while the workers go on.
  MEMORY_MEMBER_LIMIT = 1 << 20,
  // The files packed into memory and not yet written add up to this many
  // bytes at most (the one the writer waits for is always packed).
  MEMORY_BYTES_LIMIT = 4 << 20,
};

bool InMemory(const ArchiveMember& member) { return !member.folder && member.size <= MEMORY_MEMBER_LIMIT; }

struct PackedInMemory {
  bool ready = false;
  PackedData packed;
  std::string data;
};

PackedInMemory PackIntoMemory(const ArchiveMember& member, const StaticMethod& method, int level) {
  PackedInMemory result;
  ScratchStream* data = OpenScratchStream();
  result.packed = data ? PackData(member, ScratchFile(data), method, level)
                       : PackedData{method.id, {ENCODE_WRITE_FAILED, 0, 0, 0}};
  if (!data || !CloseScratchStream(data, &result.data)) result.packed.result.status = ENCODE_WRITE_FAILED;
  return result;
}

// Workers that pack the members of MEMORY_MEMBER_LIMIT or less in their
// order, each into memory, for the writer to take in that order. A member's
// packing depends on its file alone, so the archive is the same byte for
// byte whoever packs which member.
class MemberWorkers {
 public:
  MemberWorkers(const std::vector<ArchiveMember>& members, const StaticMethod& method, int level, unsigned count)
      : members_(members), method_(method), level_(level), packed_(members.size()) {
    for (unsigned i = 0; i < count; ++i) threads_.emplace_back([this] { Work(); });
  }

  ~MemberWorkers() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  // Waits until member `index` (one that is InMemory) is packed, and takes it.
  PackedInMemory Take(size_t index) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return packed_[index].ready; });
    PackedInMemory taken = std::move(packed_[index]);
    bytesAhead_ -= members_[index].size;
    changed_.notify_all();
    return taken;
  }

 private:
  void Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      while (next_ < members_.size() && !InMemory(members_[next_])) ++next_;
      if (stopping_ || next_ == members_.size()) return;
      const size_t index = next_;
      // With nothing waiting, this is the member the writer needs next.
      if (bytesAhead_ && bytesAhead_ + members_[index].size > MEMORY_BYTES_LIMIT) {
        changed_.wait(lock);
        continue;
      }
      ++next_;
      bytesAhead_ += members_[index].size;
      lock.unlock();
      PackedInMemory packed = PackIntoMemory(members_[index], method_, level_);
      lock.lock();
      packed_[index] = std::move(packed);
      packed_[index].ready = true;
      changed_.notify_all();
    }
  }

  const std::vector<ArchiveMember>& members_;
  const StaticMethod& method_;
  const int level_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t next_ = 0;         // the next member a worker may take
  uint64_t bytesAhead_ = 0;  // sizes of the members taken and not yet written
  bool stopping_ = false;
  std::vector<PackedInMemory> packed_;  // by member
  std::vector<std::thread> threads_;
};

}  // namespace

bool WriteLzhArchive(FILE* out, const std::vector<ArchiveMember>& members, const StaticMethod& method, int level,
                     std::string* error, unsigned workers) {
  if (!workers) workers = std::max(1u, std::thread::hardware_concurrency());
  // One worker alone would only wait for the writer: the writer packs every
  // member itself then.
  std::unique_ptr<MemberWorkers> pool;
  if (workers > 1) pool.reset(new MemberWorkers(members, method, level, workers));
  for (size_t i = 0; i < members.size(); ++i) {
    const ArchiveMember& member = members[i];
    if (member.folder) {
      if (!WriteBytes(out, Level2Header(member, {kFolderMethod, 0, 0, 0})))
        return Fail(error, "cannot write the output");
    } else if (!pool || !InMemory(member)) {
      if (!WriteFileMember(out, member, method, level, error)) return false;
    } else {
      const PackedInMemory packed = pool->Take(i);
      std::string header;
      if (!PackedHeader(member, packed.packed, &header, error)) return false;
      if (!WriteBytes(out, header) || !WriteBytes(out, packed.data))
        return Fail(error, "cannot write the output");
    }
  }
  // The end of the archive, also where the stub's walk stops before any
  // signature appended to the installer.
  if (fputc(0, out) == EOF || fflush(out) != 0) return Fail(error, "cannot write the output");
  return true;
}
