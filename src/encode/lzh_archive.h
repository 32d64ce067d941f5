// Writing an LZH archive of local files: level-2 headers, each member
// compressed or, when that does not make it smaller, stored; folders as
// -lhd- members; the end-of-archive byte last.
#pragma once
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "lzh_encoder.h"

struct ArchiveMember {
  std::string source;  // the local file (unused for a folder)
  std::string name;    // Shift-JIS, '/' between folders; a folder's ends in '/'
  bool folder = false;
  uint64_t size = 0;   // as the file was found; it must not change
  uint32_t mtime = 0;  // Unix time
};

// Writes the members at the current position of `out`, which must be open
// for reading and writing (a header is completed once its data is
// written). False with `error` set when a file cannot be read or has
// changed size, or the output cannot be written. `workers` pack members
// side by side (0: one for each processor); the archive is the same byte
// for byte with any number of them.
bool WriteLzhArchive(FILE* out, const std::vector<ArchiveMember>& members, const StaticMethod& method, int level,
                     std::string* error, unsigned workers = 0);
