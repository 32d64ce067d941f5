#include "associations.h"
#include "registration.h"

// The uninstall entry (its display name is always "Vorn", never the title).
static const char kUninstallEntryScript[] =
    R_MACHINE "SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vorn\0" "DisplayName\0" "Vorn\0"
    R_MACHINE S_KEEP "\0" "UninstallString\0" S_MAIN_PATH " /u\0"
    R_END;

// The install directory, as held in the session.
static const char kInstallDirScript[] = R_USER S_OUTPUT_KEY "\0" "InstallDir\0" S_DESTINATION "\0" R_END;

// The COM class of VornDll.dll and its context-menu handlers for all files
// and all folders.
static const char kShellExtensionScript[] =
    R_CLASSES S_CLSID_KEY "\0" "\0" S_VORN_DLL "\0"
    R_CLASSES S_INPROC_SERVER_KEY "\0" "\0" S_FOLDER S_VORN_DLL ".dll\0"
    R_CLASSES S_KEEP "\0" "ThreadingModel\0" "Apartment\0"
    R_CLASSES "*" S_HANDLER_TAIL "\0" "\0" S_CLSID "\0"
    R_CLASSES "Folder" S_HANDLER_TAIL "\0" "\0" S_CLSID "\0"
    R_END;

// One association: the backup of a foreign class and the extension's class.
static const char kAssociationScript[] =
    R_USER_IF_BACKUP S_OUTPUT_KEY "\0" S_BACKUP_NAME "\0" S_PREVIOUS_CLASS "\0"
    R_CLASSES S_EXTENSION "\0" "\0" S_PROG_ID "\0"
    R_END;

// The ProgID tree of one association: the class, DefaultIcon, Shell; the
// Extract verb of .lzh and .zip goes (its sub-key first; deleting keys that
// are not there changes nothing, so they are not looked for first); the Open
// verb and, with the view option, the View verb. The two menu texts are
// Shift-JIS: "Vornで解凍(&E)" (extract with Vorn) and "Vornで閲覧(&V)" (view
// with Vorn). The command lines are written without their zero.
static const char kProgIdScript[] =
    R_CLASSES S_PROG_ID "\0" "\0" "Archive file\0"
    R_CLASSES S_KEEP "\\DefaultIcon\0" "\0" S_MAIN_PATH "," S_ICON_DIGIT "\0"
    R_OPEN_VERB S_UP "\\Shell\0" "\0" "Open\0"
    R_DELETE_IF_LZH_ZIP S_KEEP "\\Extract" S_COMMAND "\0" "\0" "\0"
    R_DELETE_IF_LZH_ZIP S_UP "\0" "\0" "\0"
    R_CLASSES S_UP "\\Open\0" "\0" "Vorn\x82\xC5\x89\xF0\x93\x80(&E)\0"
    R_NO_ZERO S_KEEP S_COMMAND "\0" "\0" S_MAIN_PATH " /e \"%1\"\0"
    R_IF_VIEW S_UP S_UP "\\View\0" "\0" "Vorn\x82\xC5\x89{\x97\x97(&V)\0"
    R_NO_ZERO_IF_VIEW S_KEEP S_COMMAND "\0" "\0" S_MAIN_PATH " /v \"%1\"\0"
    R_END;

// Composes the names of the type's row, then answers 0 when the
// extension's key does not open with full access, 1 when its class is the
// ProgID, IF_BACKUP for another class (read into PREVIOUS_CLASS).
static unsigned ExtensionClass(int type) {
  ComposeAssociationNames(type);
  if (!ReadClassKey(Text(EXTENSION), KEY_ALL_ACCESS, Text(PREVIOUS_CLASS))) return 0;
  return strcmp(Text(PREVIOUS_CLASS), Text(PROG_ID)) ? IF_BACKUP : 1;
}

// True when the type's extension already points at Vorn's ProgID.
static bool IsAssociated(int type) { return ExtensionClass(type) == 1; }

void DetectAssociations(SfxSession* session) {
  for (int type = 0; type < ARCHIVE_TYPE_COUNT; ++type) {
    if (IsAssociated(type)) session->associate[type] = true;
  }
  if (ReadClassKey(kFileHandlerKey, KEY_READ, 0)) session->compress_menu = true;
}

static void WriteUninstallEntry() { RunRegistryScript(kUninstallEntryScript, 0); }
static void WriteInstallDir() { RunRegistryScript(kInstallDirScript, 0); }
static void RegisterShellExtension() { RunRegistryScript(kShellExtensionScript, 0); }

// `conditions`: the view option, and .lzh or .zip (whose Extract verb goes).
static void WriteProgId(unsigned conditions) { RunRegistryScript(kProgIdScript, conditions); }

// A foreign class is backed up first; a backup would not record Vorn's own.
static void AssociateExtension(int type, unsigned conditions) {
  RunRegistryScript(kAssociationScript, ExtensionClass(type) & IF_BACKUP);
  WriteProgId(conditions);
}

void RegisterInstallation(SfxSession* session) {
  if (!ComposeInstallPaths(session)) return;
  WriteUninstallEntry();
  WriteInstallDir();
  if (session->compress_menu) RegisterShellExtension();
  bool associated = false;
  for (int type = 0; type < ARCHIVE_TYPE_COUNT; ++type) {
    if (!session->associate[type]) continue;
    AssociateExtension(type, session->view_menu * IF_VIEW | (type < 2) * IF_LZH_ZIP);
    associated = true;
  }
  if (associated) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, 0, 0);
}
