#include "header_reader.h"
#include "../session/paths.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "headers are read as little-endian memory");
static_assert(offsetof(LzhEntry, time_stamp) == offsetof(LzhEntry, packed_size) + 8,
              "sizes and time stamp are copied from the header in one piece");

enum { HEADER_BUFFER_SIZE = 4096 };

static uint32_t Le16(const unsigned char* p) { return p[0] | (uint32_t)p[1] << 8; }

static bool ReadInto(FILE* stream, unsigned char* to, size_t count) {
  return fread(to, 1, count, stream) == count;
}

// A name part as stored: up to `length` bytes, ended early by a zero byte.
// (The helpers below stay out of line: the stub comes out smaller so.)
struct NamePart {
  const unsigned char* bytes;
  size_t length;
};

__attribute__((noinline)) static NamePart MakeNamePart(const unsigned char* bytes, size_t length) {
  NamePart part = {bytes, 0};
  while (part.length < length && bytes[part.length]) ++part.length;
  return part;
}

// Copies a part behind the first `used` bytes of the name, as much of it
// as fits; returns the name's new length.
__attribute__((noinline)) static size_t AppendNamePart(char* name, size_t used, const unsigned char* bytes, size_t length) {
  size_t room = MAX_PATH - 1 - used;
  if (length > room) length = room;
  memcpy(name + used, bytes, length);
  name[used + length] = 0;
  return used + length;
}

// name := folder part (with a '/' behind it if it lacks one) + file name.
// A name that does not fit is kept cut short for messages and flagged.
static void ComposeName(LzhEntry* entry, NamePart folder, NamePart file) {
  char* name = entry->name;
  size_t used = AppendNamePart(name, 0, folder.bytes, folder.length);
  ReplaceSeparators(name, '/');
  size_t needed = folder.length + file.length;
  if (used && !EndsWithSlash(name)) {
    ++needed;
    used = AppendNamePart(name, used, (const unsigned char*)"/", 1);
  }
  used = AppendNamePart(name, used, file.bytes, file.length);
  entry->name_too_long = needed > MAX_PATH - 1;
  BackslashesToSlashes(name, used);
}

// The header being parsed; only the worker reads headers, one at a time.
static unsigned char headerBuffer[HEADER_BUFFER_SIZE];

bool ReadMemberHeader(SfxSession* session, LzhEntry* entry) {
  // The buffer is reached through a register: each access then takes a
  // short offset instead of a full address (and its relocation) in the stub.
  unsigned char* header = headerBuffer;
  asm("" : "+r"(header));
  memset(entry, 0, sizeof *entry);
  FILE* stream = session->own_file;
  int first = fgetc(stream);
  if (first == EOF || first == 0) return false;  // entry->end: ARCHIVE_CLEAN_END
  header[0] = (unsigned char)first;
  // Every level has its level byte at offset 20; read up to it first.
  if (!ReadInto(stream, header + 1, 20)) {
    entry->end = ARCHIVE_CUT_SHORT;
    return false;
  }

  const uint32_t size = header[0], level = header[20];
  // Bytes of the header before any level-1 extended header. Level 2 gives
  // its full 16-bit size, so that long headers work.
  const uint32_t length = level == 2 ? Le16(header) : size + 2;
  if (level > 2 || length < (level == 2 ? 26u : 22u) || length > HEADER_BUFFER_SIZE) goto unknown;
  if (!ReadInto(stream, header + 21, length - 21)) goto cutShort;

  memcpy(entry->method_id, header + 2, 5);
  // Compressed size, original size and time stamp follow each other in
  // the header as in the entry (little-endian, like the machine).
  memcpy(&entry->packed_size, header + 7, 12);
  {
    NamePart file = {header, 0}, folder = {header, 0};
    const unsigned char* crc = header + 21;
    int32_t spare = (int32_t)length;  // bytes of the header beyond its name
    if (level != 2) {
      file = MakeNamePart(header + 22, header[21]);
      crc += 1 + header[21];
      spare = (int32_t)size - header[21];
    }
    if (spare == 22 || spare >= 24) {
      entry->has_crc = true;
      entry->crc = (uint16_t)Le16(crc);
    } else if (spare != 20) {
      goto unknown;
    }

    if (level != 0) {
      // Level 1 reads each extended header from the stream behind the base
      // header; level 2 has them all in the buffer already.
      uint32_t position = level == 1 ? size : 24;
      const uint32_t end = level == 1 ? (uint32_t)HEADER_BUFFER_SIZE : length;
      uint32_t extendedBytes = 0;
      for (;;) {
        const uint32_t extSize = Le16(header + position);
        if (extSize == 0) break;
        if (extSize < 3) goto unknown;
        const uint32_t start = position + 2;
        if (start + extSize > end) {
          if (level == 1) goto cutShort;
          goto unknown;
        }
        if (level == 1 && !ReadInto(stream, header + start, extSize)) goto cutShort;
        extendedBytes += extSize;
        const unsigned char type = header[start];
        const NamePart data = {header + start + 1, extSize - 3};
        // The file and folder names; every other extended header (the
        // file attribute among them, which extraction never applies) is
        // skipped whole.
        if (type == 0x01) file = MakeNamePart(data.bytes, data.length);
        if (type == 0x02) folder = MakeNamePart(data.bytes, data.length);
        position = start + extSize - 2;  // stays inside: start + extSize <= end
      }
      // Unsigned: a size of 2 GiB or more less the extended headers must
      // not overflow (it stays too large for the file and breaks the walk).
      if (level == 1) entry->packed_size = (int32_t)((uint32_t)entry->packed_size - extendedBytes);
    }
    // A negative size would send the walk backwards through the archive.
    if (entry->packed_size < 0) goto unknown;
    ComposeName(entry, folder, file);
  }
  entry->mtime = level == 2 ? (int32_t)entry->time_stamp : DosTimeToUnixTime(entry->time_stamp);
  return true;

cutShort:
  entry->end = ARCHIVE_CUT_SHORT;
  return false;
unknown:
  entry->end = ARCHIVE_UNKNOWN_HEADER;
  return false;
}

// The runtime's calendar does the work: the stamp's fields are those of
// struct tm from tm_sec on, in the same order, each this many bits wide.
// Fields out of their range (a 31st of February, hour 31) carry over as
// they would counted from the start of the month.
int32_t DosTimeToUnixTime(uint32_t stamp) {
  static const unsigned char kFieldBits[6] = {5, 6, 5, 5, 4, 7};
  if (stamp == 0) return 0;
  struct tm time;
  memset(&time, 0, sizeof time);  // tm_isdst 0: standard time, as the stamp's zone offset
  int* field = &time.tm_sec;
  for (unsigned bits : kFieldBits) {
    *field++ = (int)(stamp & ((1u << bits) - 1));
    stamp >>= bits;
  }
  time.tm_sec *= 2;
  // Months 13 to 15 do not exist: December; month 0 counts as January.
  time.tm_mon = time.tm_mon > 12 ? 11 : time.tm_mon ? time.tm_mon - 1 : 0;
  time.tm_year += 80;
  // 64-bit, as the 32-bit call ends in 2038; the low half is the 32-bit
  // field of times up to 2106.
  return (int32_t)_mktime64(&time);
}
