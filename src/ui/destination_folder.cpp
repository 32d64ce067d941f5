#include "destination_folder.h"
#include "../archive/folders.h"
#include "../session/paths.h"

// "フォルダを作成できません" (the folder cannot be created)
static const char kCannotCreateFolder[] =
    "\x83t\x83H\x83\x8B\x83_\x82\xF0\x8D\xEC\x90\xAC\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1";

bool EnsureDestinationFolder(SfxSession* session, const char* path) {
  if (!path) path = "";
  if (SetCurrentDirectoryA(path)) return true;
  // A path too long for the buffer is refused rather than cut short.
  char folder[MAX_PATH];
  bool made = CopyText(folder, sizeof folder, path) && AppendFolderSeparator(folder, sizeof folder);
  if (made) {
    ReplaceSeparators(folder, '/');
    made = MakeParentDirectories(session, folder);
  }
  if (!made) {
    MessageBoxA(session->main_window, kCannotCreateFolder, 0, MB_ICONWARNING);
    return false;
  }
  SetCurrentDirectoryA(path);
  return true;
}
