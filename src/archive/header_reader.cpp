#include "header_reader.h"
#include "paths.h"

enum { HEADER_BUFFER_SIZE = 4096 };

static const char kUnknownHeader[] = "Unknown header";
static const char kCaption[] = "Vorn SFX";

static uint32_t Le16(const unsigned char* p) { return p[0] | (uint32_t)p[1] << 8; }
static uint32_t Le32(const unsigned char* p) { return Le16(p) | Le16(p + 2) << 16; }

static uint32_t TakeLe16(SfxSession* session) {
  uint32_t value = Le16(session->header_cursor);
  session->header_cursor += 2;
  return value;
}

static bool ReportUnknownHeader(SfxSession* session) {
  MessageBoxA(session->main_window, kUnknownHeader, kCaption, MB_ICONERROR);
  return false;
}

static bool ReadInto(SfxSession* session, unsigned char* to, size_t count) {
  return fread(to, 1, count, session->own_file) == count;
}

// A name part as stored: up to `length` bytes, ended early by a zero byte.
struct NamePart {
  const unsigned char* bytes;
  size_t length;
};

static NamePart MakeNamePart(const unsigned char* bytes, size_t length) {
  const void* zero = memchr(bytes, 0, length);
  NamePart part = {bytes, zero ? (size_t)((const unsigned char*)zero - bytes) : length};
  return part;
}

// name := folder part (with a '/' behind it if it lacks one) + file name.
// A name that does not fit is kept cut short for messages and flagged.
static void ComposeName(LzhEntry* entry, NamePart folder, NamePart file) {
  char* out = entry->name;
  const size_t room = sizeof entry->name - 1;
  size_t used = folder.length < room ? folder.length : room;
  if (used) memcpy(out, folder.bytes, used);
  out[used] = 0;
  ReplaceSeparators(out, '/');
  size_t needed = folder.length + file.length;
  if (used && !EndsWithSlash(out)) {
    ++needed;
    if (used < room) out[used++] = '/';
  }
  size_t fileLength = file.length < room - used ? file.length : room - used;
  if (fileLength) memcpy(out + used, file.bytes, fileLength);
  used += fileLength;
  out[used] = 0;
  entry->name_too_long = needed > room;
  BackslashesToSlashes(out, used);
}

// The header being parsed; only the worker reads headers, one at a time.
static unsigned char header[HEADER_BUFFER_SIZE];

bool ReadMemberHeader(SfxSession* session, LzhEntry* entry) {
  memset(entry, 0, sizeof *entry);
  int first = fgetc(session->own_file);
  if (first == EOF || first == 0) return false;
  header[0] = (unsigned char)first;
  // Every level has its level byte at offset 20; read up to it first.
  if (!ReadInto(session, header + 1, 20)) return false;

  uint32_t size = header[0];
  uint32_t level = header[20];
  uint32_t headerLength;  // bytes of the header before any level-1 extended header
  if (level == 2) {
    headerLength = Le16(header);  // the full 16-bit size, so long headers work
    if (headerLength < 26 || headerLength > HEADER_BUFFER_SIZE) return ReportUnknownHeader(session);
  } else if (level <= 1) {
    if (size < 20) return ReportUnknownHeader(session);
    headerLength = size + 2;
  } else {
    return ReportUnknownHeader(session);
  }
  if (!ReadInto(session, header + 21, headerLength - 21)) return false;

  entry->header_size = (unsigned char)size;
  memcpy(entry->method_id, header + 2, 5);
  entry->packed_size = (int32_t)Le32(header + 7);
  entry->original_size = (int32_t)Le32(header + 11);
  entry->time_stamp = Le32(header + 15);
  entry->attribute = header[19];
  entry->level = (unsigned char)level;

  NamePart file = {0, 0}, folder = {0, 0};
  int32_t spare;  // bytes of the header beyond its name
  if (level == 2) {
    session->header_cursor = header + 21;
    spare = (int32_t)headerLength;
  } else {
    file = MakeNamePart(header + 22, header[21]);
    session->header_cursor = header + 22 + header[21];
    spare = (int32_t)size - header[21];
  }
  if (spare >= 24) {
    entry->crc = (uint16_t)TakeLe16(session);
    entry->os_id = *session->header_cursor++;
    entry->has_crc = true;
  } else if (spare == 22) {
    entry->crc = (uint16_t)TakeLe16(session);
    entry->has_crc = true;
  } else if (spare != 20) {
    return ReportUnknownHeader(session);
  }

  if (level != 0) {
    // Level 1 reads each extended header from the stream behind the base
    // header; level 2 has them all in the buffer already.
    uint32_t position = level == 1 ? size : 24;
    uint32_t end = level == 1 ? (uint32_t)HEADER_BUFFER_SIZE : headerLength;
    uint32_t extendedBytes = 0;
    for (;;) {
      if (position + 2 > end) return ReportUnknownHeader(session);
      session->header_cursor = header + position;
      uint32_t extSize = TakeLe16(session);
      if (extSize == 0) break;
      if (extSize < 3) return ReportUnknownHeader(session);
      uint32_t start = position + 2;
      if (start + extSize > end) {
        if (level == 1) return false;
        return ReportUnknownHeader(session);
      }
      if (level == 1 && !ReadInto(session, header + start, extSize)) return false;
      extendedBytes += extSize;
      unsigned char type = header[start];
      const unsigned char* data = header + start + 1;
      uint32_t dataLength = extSize - 3;
      if (type == 0x01) {
        file = MakeNamePart(data, dataLength);
      } else if (type == 0x02) {
        folder = MakeNamePart(data, dataLength);
      } else if (type == 0x40 && dataLength >= 2 &&
                 (entry->os_id == 0 || entry->os_id == 'H' || entry->os_id == 'M')) {
        entry->attribute = data[0];
      }
      position = start + extSize - 2;
    }
    if (level == 1) entry->packed_size -= (int32_t)extendedBytes;
  }
  // A negative size would send the walk backwards through the archive.
  if (entry->packed_size < 0) return ReportUnknownHeader(session);

  ComposeName(entry, folder, file);
  entry->mtime = level == 2 ? (int32_t)entry->time_stamp : DosTimeToUnixTime(entry->time_stamp);
  return true;
}

static uint32_t LeapYearsThrough(uint32_t year) {
  return year / 4 - year / 100 + year / 400;
}

static bool IsLeapYear(uint32_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int32_t DosTimeToUnixTime(uint32_t stamp) {
  static const unsigned short kDaysBeforeMonth[13] = {0,   0,   31,  59,  90,  120, 151,
                                                      181, 212, 243, 273, 304, 334};
  if (stamp == 0) return 0;
  uint32_t seconds = 2 * (stamp & 0x1F);
  uint32_t minute = (stamp >> 5) & 0x3F;
  uint32_t hour = (stamp >> 11) & 0x1F;
  uint32_t day = (stamp >> 16) & 0x1F;
  uint32_t month = (stamp >> 21) & 0x0F;
  uint32_t year = 1980 + (stamp >> 25);
  if (month > 12) month = 12;  // months 13 to 15 do not exist; take December
  uint32_t days = 365 * (year - 1970) + LeapYearsThrough(year - 1) - LeapYearsThrough(1969) +
                  kDaysBeforeMonth[month] + day - 1;
  if (IsLeapYear(year) && month >= 3) ++days;
  _tzset();
  return (int32_t)((((days * 24 + hour) * 60 + minute) * 60 + seconds) + (uint32_t)_timezone);
}
