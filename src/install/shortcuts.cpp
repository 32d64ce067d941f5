#include "shortcuts.h"
#include "registration.h"
#include "../archive/folders.h"
#include "../archive/paths.h"
#include <shellapi.h>

// Each shortcut's option byte and special folder, in the order they are made.
static const unsigned char kShortcuts[3][2] = {
    {CHOICE_OFFSET(start_menu_option), CSIDL_PROGRAMS},
    {CHOICE_OFFSET(desktop_option), CSIDL_DESKTOPDIRECTORY},
    {CHOICE_OFFSET(send_to_option), CSIDL_SENDTO},
};

// The shell's link object and the two interfaces used on it.
static const GUID kShellLinkClass = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID kShellLinkInterface = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID kPersistFileInterface = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool PathFromIdList(LPITEMIDLIST list, char* path) {
  BOOL found = SHGetPathFromIDListA(list, path);
  CoTaskMemFree(list);
  return found;
}

void CreateShortcuts(SfxSession* session) {
  if (!ComposeInstallPaths(session, &installPaths)) return;
  for (int i = 0; i < 3; ++i)
    if (*SessionChoice(session, kShortcuts[i][0]) & OPTION_CHOSEN) CreateShortcut(session, kShortcuts[i][1]);
}

// Fills in the link and saves it into the special folder.
static void SaveShortcut(SfxSession* session, int folder, IShellLinkA* link, IPersistFile* file) {
  char folderPath[MAX_PATH], linkPath[MAX_PATH];
  LPITEMIDLIST list;
  if (SHGetSpecialFolderLocation(session->main_window, folder, &list) != S_OK) return;
  // A link path that does not fit is not made at all.
  if (!PathFromIdList(list, folderPath) || !ComposeShortcutPath(session, folderPath, linkPath)) return;
  // A shortcut name with folders in it puts the link into those folders.
  strcpy(folderPath, linkPath);
  ReplaceSeparators(folderPath, '/');
  MakeParentDirectories(session, folderPath);
  link->SetPath(installPaths.main_path);
  link->SetIconLocation(installPaths.main_path, 0);
  link->SetWorkingDirectory(session->destination);
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wide, MAX_PATH);
  file->Save(wide, TRUE);
}

void CreateShortcut(SfxSession* session, int folder) {
  if (FAILED(CoInitialize(0))) return;
  IShellLinkA* link;
  if (SUCCEEDED(CoCreateInstance(kShellLinkClass, 0, CLSCTX_INPROC_SERVER, kShellLinkInterface, (void**)&link))) {
    IPersistFile* file;
    if (SUCCEEDED(link->QueryInterface(kPersistFileInterface, (void**)&file))) {
      SaveShortcut(session, folder, link, file);
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
}

void RunPostInstallProgram(SfxSession* session) {
  char path[MAX_PATH];
  if (ComposePostInstallPath(session, path)) ShellExecuteA(session->main_window, 0, path, 0, 0, SW_SHOWNORMAL);
}
