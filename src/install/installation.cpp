#include "installation.h"
#include "associations.h"
#include "../archive/folders.h"
#include "../session/paths.h"

// The special folder of each shortcut option, in the order they are made.
static const char kShortcutFolders[] = {CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY, CSIDL_SENDTO};

// The shell's link object and the two interfaces used on it.
static const GUID kShellLinkClass = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID kShellLinkInterface = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const GUID kPersistFileInterface = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Fills in the link and saves it into the special folder `folder`; a link
// path that does not fit is not made at all.
static void SaveShortcut(SfxSession* session, int folder, IShellLinkA* link, IPersistFile* file) {
  char folderPath[MAX_PATH], linkPath[COMPOSE_BUFFER_SIZE];
  if (!SHGetSpecialFolderPathA(session->main_window, folderPath, folder, FALSE) ||
      !ComposeShortcutPath(session, folderPath, linkPath))
    return;
  // A shortcut name with folders in it puts the link into those folders.
  // The separator rules are the name's, never the system folder's: its
  // name may hold any byte.
  char* name = linkPath + strlen(folderPath);
  ReplaceSeparators(name, '/');
  MakeParentDirectories(session, linkPath);
  ReplaceSeparators(name, '\\');
  link->SetPath(Text(MAIN_PATH));
  link->SetIconLocation(Text(MAIN_PATH), 0);
  link->SetWorkingDirectory(session->destination);
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wide, MAX_PATH);
  file->Save(wide, TRUE);
}

// COM is initialised and uninitialised around each link.
static void CreateShortcut(SfxSession* session, int folder) {
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

// The chosen shortcuts, in the order of kShortcutFolders.
static void CreateShortcuts(SfxSession* session) {
  if (!ComposeInstallPaths(session)) return;
  for (int i = 0; i < 3; ++i)
    if (*SessionChoice(session, i) & OPTION_CHOSEN) CreateShortcut(session, kShortcutFolders[i]);
}

// Started through the shell, without waiting for it.
static void RunPostInstallProgram(SfxSession* session) {
  char path[COMPOSE_BUFFER_SIZE];
  if (ComposePostInstallPath(session, path)) ShellExecuteA(session->main_window, 0, path, 0, 0, SW_SHOWNORMAL);
}

void CompleteInstallation(SfxSession* session) {
  if (session->installer_mode) CreateShortcuts(session);
  // A silent run starts no program: nobody may be there to use it (a
  // deployment runs the installer as another account, on a desktop no one
  // watches).
  if (!session->silent && session->post_install_program && session->post_install_program[0])
    RunPostInstallProgram(session);
  RegisterInstallation(session);
}
