#include "destination_folder.h"
#include "../archive/folders.h"
#include "../session/paths.h"

// "フォルダを作成できません" (the folder cannot be created)
static const char kCannotCreateFolder[] =
    "\x83t\x83H\x83\x8B\x83_\x82\xF0\x8D\xEC\x90\xAC\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1";

// Once the folder is current, the destination becomes the folder as the
// system names it: absolute, so that everything written from it (registry
// values, shortcuts) names the folder wherever it is read. A path too long
// for a path buffer is refused, never cut short.
bool EnsureDestinationFolder(SfxSession* session, const char* path) {
  if (!path) path = "";
  char folder[MAX_PATH];  // the path to make, then the folder as the system names it
  bool current = SetCurrentDirectoryA(path);
  if (!current && CopyText(folder, sizeof folder, path) && AppendFolderSeparator(folder, sizeof folder)) {
    ReplaceSeparators(folder, '/');
    current = MakeParentDirectories(session, folder) && SetCurrentDirectoryA(path);
  }
  DWORD length;
  if (current && (length = GetCurrentDirectoryA(MAX_PATH, folder)) - 1 < MAX_PATH - 1 &&
      SetSessionString(&session->destination, folder, length))
    return true;
  ShowMessage(session, kCannotCreateFolder, 0, MB_ICONWARNING);
  session->failed = true;
  return false;
}
