#include "folders.h"
#include "../session/paths.h"

bool MakeParentDirectories(SfxSession* session, const char* path) {
  char parent[1024];
  if (!CopyText(parent, sizeof parent, path)) return false;
  char* lastSlash = 0;
  for (char* p = parent; *p; ++p)
    if (*p == '/') lastSlash = p;
  if (!lastSlash || lastSlash == parent) return false;
  *lastSlash = 0;
  struct _stat status;
  if (_stat(parent, &status) == 0) return (status.st_mode & _S_IFMT) == _S_IFDIR;
  SECURITY_ATTRIBUTES security = {sizeof security, 0, FALSE};
  if (CreateDirectoryA(parent, &security)) {
    NotifyShell(session, true, parent);
    return true;
  }
  return MakeParentDirectories(session, parent) && CreateDirectoryA(parent, &security);
}

void NotifyShell(SfxSession* session, bool isFolder, const char* path) {
  if (isFolder) {
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHA, path, 0);
    return;
  }
  char full[MAX_PATH];
  if (!JoinFolderPath(full, sizeof full, session->destination ? session->destination : "", path)) return;
  for (char* p = full; *p; ++p)
    if (*p == '/') *p = '\\';
  SHChangeNotify(SHCNE_CREATE, SHCNF_PATHA, full, 0);
}
