// LZH member headers of levels 0, 1 and 2.
#pragma once
#include "../session/session.h"

// Why the walk through the archive stopped (ReadMemberHeader false).
enum ArchiveEnd : unsigned char {
  ARCHIVE_CLEAN_END,       // the end byte 0, or the end of the file where a header would start
  ARCHIVE_CUT_SHORT,       // the file ends inside a header
  ARCHIVE_UNKNOWN_HEADER,  // a header this reader cannot take
};

struct LzhEntry {
  ArchiveEnd end;             // set when no header was read
  char method_id[5];          // such as "-lh5-"; not terminated
  int32_t packed_size;        // member data in the archive (level 1: without extended headers)
  int32_t original_size;
  uint32_t time_stamp;        // MS-DOS stamp (levels 0, 1) or Unix time (level 2)
  uint16_t crc;
  bool has_crc;
  int32_t mtime;              // Unix time
  bool name_too_long;         // folder and file name did not fit in `name`
  char name[MAX_PATH];        // folders first, '/' between them; last, so
                              // that the other fields lie at short offsets
};

// Reads the next header from the session's own_file into `entry` and leaves
// the stream at the member's data. False: no further member; entry->end
// tells why. Nothing is shown to the user here.
bool ReadMemberHeader(SfxSession* session, LzhEntry* entry);

// MS-DOS date and time (local time) to seconds since 1970-01-01 UTC.
int32_t DosTimeToUnixTime(uint32_t stamp);
