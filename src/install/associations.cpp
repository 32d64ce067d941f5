#include "associations.h"
#include "registration.h"
#include "registry_keys.h"

// The row being registered, and the class its extension pointed at before.
static AssociationNames names;
static char previousClass[REGISTRY_TEXT_SIZE + 1];
// The DefaultIcon value ends in "," and the row's icon index.
static char iconEnding[] = ",1";
static const char kIconDigits[] = "1234544467";

static const RegistryWrite kBackupRow = {kOutputKey, names.backup_name, previousClass, SIZE_WITH_ZERO,
                                         ROOT_USER};
static const RegistryWrite kExtensionRow = {names.extension, "", names.prog_id, SIZE_WITH_ZERO, ROOT_CLASSES};

// The ProgID tree, each key behind the ProgID. The two menu texts are
// Shift-JIS, 15 bytes with the zero: "Vornで解凍(&E)" (extract with Vorn)
// and "Vornで閲覧(&V)" (view with Vorn). The command lines are written
// without their zero. The Extract verb of .lzh and .zip goes before the Open
// rows; the View rows only with the view option.
static const RegistryWrite kProgIdRows[] = {
    {"", "", "Archive file", 13, ROOT_CLASSES},
    {"\\DefaultIcon", "", iconEnding, SIZE_WITH_ZERO, ROOT_CLASSES | AFTER_MAIN_PATH},
    {"\\Shell", "", "Open\0\0\0", 8, ROOT_CLASSES | KEEP_VIEW},
    {"\\Shell\\Open", "", "Vorn\x82\xC5\x89\xF0\x93\x80(&E)", 15, ROOT_CLASSES},
    {"\\Shell\\Open\\command", "", " /e \"%1\"", SIZE_TEXT_ONLY, ROOT_CLASSES | AFTER_MAIN_PATH},
    {"\\Shell\\View", "", "Vorn\x82\xC5\x89{\x97\x97(&V)", 15, ROOT_CLASSES},
    {"\\Shell\\View\\command", "", " /v \"%1\"", SIZE_TEXT_ONLY, ROOT_CLASSES | AFTER_MAIN_PATH},
};

// Opens the extension's key with full access and reads its class into
// previousClass; false when the key does not open.
static bool ReadExtensionClass(const char* extension) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, extension, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
  ReadDefaultValue(key, previousClass);
  RegCloseKey(key);
  return true;
}

bool IsAssociated(const char* extension, const char* progId) {
  return ReadExtensionClass(extension) && strcmp(previousClass, progId) == 0;
}

static bool KeyExists(const char* key) {
  HKEY opened;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

void DetectAssociations(SfxSession* session) {
  for (int type = 0; type < ARCHIVE_TYPE_COUNT; ++type) {
    ComposeAssociationNames(type, &names);
    if (IsAssociated(names.extension, names.prog_id)) session->associate[type] = true;
  }
  if (KeyExists(kFileHandlerKey)) session->compress_menu = true;
}

static void WriteProgId(SfxSession* session, int type) {
  iconEnding[1] = kIconDigits[type];
  WriteRegistryRows(kProgIdRows, 3, names.prog_id);
  if (type < 2) {
    // .lzh and .zip lose an "Extract" verb, its sub-key first.
    char key[48];
    int length = wsprintfA(key, "%s\\Shell\\Extract", names.prog_id);
    if (KeyExists(key)) {
      strcpy(key + length, "\\command");
      RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
      key[length] = 0;
      RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
    }
  }
  WriteRegistryRows(kProgIdRows + 3, session->view_menu ? 4 : 2, names.prog_id);
}

// A class of another program is kept under the row's backup name, unless a
// backup would only record Vorn's own class.
static void AssociateExtension(SfxSession* session, int type) {
  if (ReadExtensionClass(names.extension) && strcmp(previousClass, names.prog_id) != 0)
    WriteRegistryRows(&kBackupRow, 1, "");
  WriteRegistryRows(&kExtensionRow, 1, "");
  WriteProgId(session, type);
}

void RegisterInstallation(SfxSession* session) {
  if (!ComposeInstallPaths(session, &installPaths)) return;
  WriteUninstallEntry();
  WriteInstallDir();
  if (session->compress_menu) RegisterShellExtension();
  bool associated = false;
  for (int type = 0; type < ARCHIVE_TYPE_COUNT; ++type) {
    if (!session->associate[type]) continue;
    ComposeAssociationNames(type, &names);
    AssociateExtension(session, type);
    associated = true;
  }
  if (associated) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, 0, 0);
}
