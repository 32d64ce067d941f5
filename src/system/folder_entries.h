// What a folder holds, for the walk that makes an archive of it: each
// entry's name, kind, size and time as the system reports them.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

struct FolderEntry {
  enum Kind { REGULAR_FILE, FOLDER, OTHER };  // OTHER: a link or a special file
  std::string name;                   // UTF-8
  Kind kind = OTHER;
  uint64_t size = 0;
  int64_t mtime = 0;  // Unix time, the last write
};

// The entries of `folder` but "." and "..", in no particular order. False
// with `unreadable` set to what could not be read (the folder, or one of
// its entries).
bool ReadFolderEntries(const std::string& folder, std::vector<FolderEntry>* entries, std::string* unreadable);
