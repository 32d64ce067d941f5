#include "folder_members.h"

#include <ctype.h>
#include <string.h>

#include <algorithm>

#include "system/folder_entries.h"
#include "system/sjis_names.h"

namespace {

enum { MAX_MEMBER_PATH = 259 };  // the stub's longest member path, in bytes
const uint64_t kLargestFile = 0xFFFFFFFFu;

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

// Windows forbids these characters in names, drops dots and blanks at a
// name's end, and keeps the device names (with any extension) for itself.
bool WindowsAllows(const std::string& name) {
  for (unsigned char c : name)
    if (c < 0x20 || strchr("<>:\"\\|?*", c)) return false;
  if (name.back() == '.' || name.back() == ' ') return false;
  std::string stem = name.substr(0, name.find('.'));
  std::transform(stem.begin(), stem.end(), stem.begin(), [](unsigned char c) { return (char)toupper(c); });
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* device : kDevices)
    if (stem == device) return false;
  return !((stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
            stem[3] >= '1' && stem[3] <= '9'));
}

// In byte order of the names' UTF-8 form, on every system, so that a
// folder makes the same archive on Linux and on Windows.
bool SortedEntries(const std::string& folder, std::vector<FolderEntry>* entries, std::string* error) {
  std::string unreadable;
  if (!ReadFolderEntries(folder, entries, &unreadable))
    return Fail(error, (unreadable == folder ? "cannot read the folder " : "cannot read ") + unreadable);
  std::sort(entries->begin(), entries->end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return true;
}

struct Walk {
  std::vector<ArchiveMember>* members;
  std::vector<std::string>* skipped;
  std::string* error;
};

// Adds what the folder `local` holds; `stored` is its member name ("" for
// the root).
bool AddFolder(Walk& walk, const std::string& local, const std::string& stored) {
  std::vector<FolderEntry> entries;
  if (!SortedEntries(local, &entries, walk.error)) return false;
  for (const FolderEntry& entry : entries) {
    const std::string path = local + "/" + entry.name;
    if (entry.kind == FolderEntry::OTHER) {
      walk.skipped->push_back(path);
      continue;
    }
    const bool folder = entry.kind == FolderEntry::FOLDER;
    std::string storedName;
    if (!Utf8ToShiftJis(entry.name, &storedName)) return Fail(walk.error, path + ": the name has no Shift-JIS form");
    if (!WindowsAllows(entry.name)) return Fail(walk.error, path + ": Windows does not allow this name");
    ArchiveMember member;
    member.name = stored + storedName + (folder ? "/" : "");
    if (member.name.size() > MAX_MEMBER_PATH)
      return Fail(walk.error, path + ": the path in the archive is " + std::to_string(member.name.size()) +
                                  " bytes; at most 259 fit");
    if (!folder && entry.size > kLargestFile)
      return Fail(walk.error, path + " is 4 GiB or larger; the installer's sizes are 32-bit");
    member.source = path;
    member.folder = folder;
    member.size = folder ? 0 : entry.size;
    member.mtime = (uint32_t)std::clamp<int64_t>(entry.mtime, 0, 0xFFFFFFFF);
    walk.members->push_back(member);
    if (folder && !AddFolder(walk, path, member.name)) return false;
  }
  return true;
}

}  // namespace

bool FolderMembers(const std::string& root, std::vector<ArchiveMember>* members, std::vector<std::string>* skipped,
                   std::string* error) {
  Walk walk = {members, skipped, error};
  std::string folder = root;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return AddFolder(walk, folder, "");
}
