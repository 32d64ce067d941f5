#include "system/folder_entries.h"

#include <dirent.h>
#include <string.h>
#include <sys/stat.h>

bool ReadFolderEntries(const std::string& folder, std::vector<FolderEntry>* entries, std::string* unreadable) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    *unreadable = folder;
    return false;
  }
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir))
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) names.push_back(entry->d_name);
  closedir(dir);
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    struct stat status;
    if (lstat(path.c_str(), &status) != 0) {
      *unreadable = path;
      return false;
    }
    FolderEntry entry;
    entry.name = name;
    entry.kind = S_ISDIR(status.st_mode) ? FolderEntry::FOLDER : S_ISREG(status.st_mode) ? FolderEntry::REGULAR_FILE
                                                                                         : FolderEntry::OTHER;
    entry.size = (uint64_t)status.st_size;
    entry.mtime = status.st_mtime;
    entries->push_back(entry);
  }
  return true;
}
