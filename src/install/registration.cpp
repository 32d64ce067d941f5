#include "registration.h"
#include "registry_keys.h"

InstallPaths installPaths;
// The AFTER_* bits count the paths of installPaths from its start.
static_assert(offsetof(InstallPaths, folder) == 1 * REGISTRY_TEXT_SIZE &&
                  offsetof(InstallPaths, main_path) == 2 * REGISTRY_TEXT_SIZE,
              "the paths lie one after the other");

static const char kUninstallKey[] = "SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vorn";
// "VornDll", the last word of the handler key, with its zero.
#define kVornDll (kFileHandlerKey + sizeof "*\\shellex\\ContextMenuHandlers\\" - 1)

const RegistryWrite kInstallRows[8] = {
    {kUninstallKey, "DisplayName", "Vorn", 5, ROOT_MACHINE},
    {kUninstallKey, "UninstallString", " /u", SIZE_WITH_ZERO, ROOT_MACHINE | AFTER_MAIN_PATH},
    {kOutputKey, "InstallDir", "", SIZE_WITH_ZERO, ROOT_USER | AFTER_DESTINATION},
    {kClsidKey, "", kVornDll, 8, ROOT_CLASSES},
    {kInprocServerKey, "", "VornDll.dll", SIZE_WITH_ZERO, ROOT_CLASSES | AFTER_FOLDER},
    {kInprocServerKey, "ThreadingModel", "Apartment", 10, ROOT_CLASSES},
    {kFileHandlerKey, "", kShellExtensionClsid, 39, ROOT_CLASSES},
    {kFolderHandlerKey, "", kShellExtensionClsid, 39, ROOT_CLASSES},
};

void ReadDefaultValue(HKEY key, char* text) {
  DWORD size = REGISTRY_TEXT_SIZE;
  if (RegQueryValueExA(key, "", 0, 0, (BYTE*)text, &size) != ERROR_SUCCESS) size = 0;
  text[size] = 0;
}

void WriteRegistryRows(const RegistryWrite* row, int count, const char* prefix) {
  for (; count > 0; --count, ++row) {
    char key[96], text[REGISTRY_TEXT_SIZE + 1];
    HKEY opened;
    wsprintfA(key, "%s%s", prefix, row->key);
    if (RegCreateKeyExA((HKEY)(uintptr_t)(0x80000000u + (row->how & 3)), key, 0, (LPSTR) "",
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, 0, &opened, 0) != ERROR_SUCCESS)
      continue;
    const char* data = row->data;
    if (row->how & AFTER_MAIN_PATH) {
      wsprintfA(text, "%s%s", installPaths.destination + ((row->how >> 2 & 3) - 1) * REGISTRY_TEXT_SIZE, data);
      data = text;
    }
    int size = row->size;
    if (size <= 0) size += (int)strlen(data) + 1;
    // The system counts a zero that directly follows the bytes of a text
    // value into it; a text stored without its zero (always one composed
    // in `text`) is therefore followed by a blank.
    if (row->size < 0) text[size] = ' ';
    if (row->how & KEEP_VIEW) {
      ReadDefaultValue(opened, text);
      if (strcmp(text, "View") == 0) size = -1;
    }
    if (size >= 0) RegSetValueExA(opened, row->name, 0, REG_SZ, (const BYTE*)data, (DWORD)size);
    RegCloseKey(opened);
  }
}
