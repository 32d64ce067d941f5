#include "system/local_files.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

const char kLocalPathSeparators[] = "/";

FILE* OpenLocalFile(const std::string& path, const char* mode) { return fopen(path.c_str(), mode); }
bool RemoveLocalFile(const std::string& path) { return remove(path.c_str()) == 0; }
bool MoveLocalFile(const std::string& from, const std::string& to) { return rename(from.c_str(), to.c_str()) == 0; }

LocalPathKind KindOfLocalPath(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return PATH_MISSING;
  return S_ISDIR(status.st_mode) ? PATH_FOLDER : PATH_FILE;
}

bool MakeLocalFolder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }
bool EnterLocalFolder(const std::string& path) { return !path.empty() && chdir(path.c_str()) == 0; }

std::string CurrentLocalFolder() {
  char path[PATH_MAX];
  return getcwd(path, sizeof path) ? path : "";
}

bool SetLocalFileTime(const std::string& path, int64_t unixTime) {
  const utimbuf times = {(time_t)unixTime, (time_t)unixTime};
  return utime(path.c_str(), &times) == 0;
}
