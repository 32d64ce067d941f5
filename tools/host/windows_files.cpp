// mksfx.exe: the C runtime's file calls of the core (platform.h), with
// UTF-8 names, through the wide-character calls of src/system.
#include "platform.h"
#include "system/local_files.h"

FILE* HostOpenFile(const char* path, const char* mode) { return OpenLocalFile(path, mode); }

int HostStat(const char* path, struct HostStat* status) {
  const LocalPathKind kind = KindOfLocalPath(path);
  status->st_mode = kind == PATH_FOLDER ? _S_IFDIR : _S_IFREG;
  return kind == PATH_MISSING ? -1 : 0;
}

int HostUnlink(const char* path) { return RemoveLocalFile(path) ? 0 : -1; }

int HostUtime(const char* path, struct _utimbuf* times) { return SetLocalFileTime(path, times->modtime) ? 0 : -1; }
