// LZH member headers of levels 0, 1 and 2.
#pragma once
#include "../session/session.h"

struct LzhEntry {
  unsigned char header_size;  // first byte of the header (low byte of a level-2 size)
  char method_id[5];          // such as "-lh5-"; not terminated
  int32_t packed_size;        // member data in the archive (level 1: without extended headers)
  int32_t original_size;
  uint32_t time_stamp;        // MS-DOS stamp (levels 0, 1) or Unix time (level 2)
  unsigned char attribute;
  unsigned char level;
  uint16_t crc;
  bool has_crc;
  unsigned char os_id;
  int32_t mtime;              // Unix time
  bool name_too_long;         // folder and file name did not fit in `name`
  char name[MAX_PATH];        // folders first, '/' between them; last, so
                              // that the other fields lie at short offsets
};

// Reads the next header from the session's own_file into `entry` and leaves
// the stream at the member's data. False: no further member (end of the
// archive, a short read, or a damaged header, which is reported).
bool ReadMemberHeader(SfxSession* session, LzhEntry* entry);

// MS-DOS date and time (local time) to seconds since 1970-01-01 UTC.
int32_t DosTimeToUnixTime(uint32_t stamp);
