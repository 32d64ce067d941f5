#include "folder_members.h"

#include <ctype.h>
#include <dirent.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>

#include "sjis_names.h"

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

std::vector<std::string> SortedEntries(const std::string& folder, bool* readable) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  *readable = dir != nullptr;
  if (!dir) return names;
  while (const dirent* entry = readdir(dir))
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

struct Walk {
  std::vector<ArchiveMember>* members;
  std::vector<std::string>* skipped;
  std::string* error;
};

// Adds what the folder `local` holds; `stored` is its member name ("" for
// the root).
bool AddFolder(Walk& walk, const std::string& local, const std::string& stored) {
  bool readable;
  const std::vector<std::string> names = SortedEntries(local, &readable);
  if (!readable) return Fail(walk.error, "cannot read the folder " + local);
  for (const std::string& name : names) {
    const std::string path = local + "/" + name;
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) return Fail(walk.error, "cannot read " + path);
    const bool folder = S_ISDIR(status.st_mode);
    if (!folder && !S_ISREG(status.st_mode)) {
      walk.skipped->push_back(path);
      continue;
    }
    std::string storedName;
    if (!Utf8ToShiftJis(name, &storedName)) return Fail(walk.error, path + ": the name has no Shift-JIS form");
    if (!WindowsAllows(name)) return Fail(walk.error, path + ": Windows does not allow this name");
    ArchiveMember member;
    member.name = stored + storedName + (folder ? "/" : "");
    if (member.name.size() > MAX_MEMBER_PATH)
      return Fail(walk.error, path + ": the path in the archive is " + std::to_string(member.name.size()) +
                                  " bytes; at most 259 fit");
    if (!folder && (uint64_t)status.st_size > kLargestFile)
      return Fail(walk.error, path + " is 4 GiB or larger; the installer's sizes are 32-bit");
    member.source = path;
    member.folder = folder;
    member.size = folder ? 0 : (uint64_t)status.st_size;
    member.mtime = (uint32_t)std::clamp<int64_t>(status.st_mtime, 0, 0xFFFFFFFF);
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
