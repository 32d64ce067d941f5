#include "lzh_archive.h"

#include <string.h>

#include <memory>

#include "crc16.h"

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

bool WriteFileMember(FILE* out, const ArchiveMember& member, const StaticMethod& method, int level,
                     std::string* error) {
  std::unique_ptr<FILE, int (*)(FILE*)> input(fopen(member.source.c_str(), "rb"), fclose);
  if (!input) return Fail(error, "cannot read " + member.source);
  const off_t headerAt = ftello(out);
  const size_t headerLength = Level2Header(member, {method.id, 0, 0, 0}).size();
  if (fseeko(out, headerAt + (off_t)headerLength, SEEK_SET) != 0) return Fail(error, "cannot write the output");
  const char* methodId = method.id;
  EncodeResult result = EncodeMember(input.get(), out, method, level, member.size);
  if (result.status == ENCODE_STORED) methodId = kStoredMethod;
  if (result.status == ENCODE_NOT_SHRUNK) {
    methodId = kStoredMethod;
    fseeko(out, headerAt + (off_t)headerLength, SEEK_SET);
    result = CopyStored(input.get(), out);
  }
  if (result.status == ENCODE_READ_FAILED) return Fail(error, "cannot read " + member.source);
  if (result.status == ENCODE_WRITE_FAILED) return Fail(error, "cannot write the output");
  if (result.originalSize != member.size) return Fail(error, member.source + " changed while it was being packed");
  const std::string header =
      Level2Header(member, {methodId, (uint32_t)result.packedSize, (uint32_t)result.originalSize, result.crc});
  if (fseeko(out, headerAt, SEEK_SET) != 0 || !WriteBytes(out, header) ||
      fseeko(out, headerAt + (off_t)(headerLength + result.packedSize), SEEK_SET) != 0)
    return Fail(error, "cannot write the output");
  return true;
}

}  // namespace

bool WriteLzhArchive(FILE* out, const std::vector<ArchiveMember>& members, const StaticMethod& method, int level,
                     std::string* error) {
  for (const ArchiveMember& member : members) {
    if (member.folder) {
      if (!WriteBytes(out, Level2Header(member, {kFolderMethod, 0, 0, 0})))
        return Fail(error, "cannot write the output");
    } else if (!WriteFileMember(out, member, method, level, error)) {
      return false;
    }
  }
  // The end of the archive, also where the stub's walk stops before any
  // signature appended to the installer.
  if (fputc(0, out) == EOF || fflush(out) != 0) return Fail(error, "cannot write the output");
  return true;
}
