// Registry writing shared by the installation steps, and the three writers
// that run first in the registry step: the uninstall entry, the install
// directory and the context-menu shell extension.
#pragma once
#include "install_values.h"

// One REG_SZ value to write: the key (behind a prefix given when the rows
// are written), the value name ("" for the unnamed value), the data and its
// byte count, and how to write it.
struct RegistryWrite {
  const char* key;
  const char* name;
  const char* data;
  short size;          // a byte count, or SIZE_WITH_ZERO / SIZE_TEXT_ONLY
  unsigned char how;   // ROOT_* + AFTER_* + KEEP_VIEW
};

enum {
  SIZE_WITH_ZERO = 0,   // the text and its terminating zero
  SIZE_TEXT_ONLY = -1,  // the text without its zero (only for values after a path)
  ROOT_CLASSES = 0,     // HKEY_CLASSES_ROOT and the two after it
  ROOT_USER = 1,
  ROOT_MACHINE = 2,
  // The data follows one of installPaths: the destination, the folder (with
  // its backslash) or the main program path.
  AFTER_DESTINATION = 1 << 2,
  AFTER_FOLDER = 2 << 2,
  AFTER_MAIN_PATH = 3 << 2,
  KEEP_VIEW = 16,       // leave the value alone when it reads "View"
};

// The paths of this installation, composed once by the registry step.
extern InstallPaths installPaths;

// Writes each row: creates the key (prefix + row key) with all access, sets
// the value, closes the key. A key that cannot be created gets nothing; no
// other result is examined.
void WriteRegistryRows(const RegistryWrite* rows, int count, const char* prefix);

// Reads the unnamed value of an open key into `text` (REGISTRY_TEXT_SIZE + 1
// bytes, always terminated; empty when there is none).
void ReadDefaultValue(HKEY key, char* text);

// The uninstall entry, the install directory and the shell extension.
extern const RegistryWrite kInstallRows[8];

// HKEY_LOCAL_MACHINE ...\Uninstall\Vorn: "DisplayName" and "UninstallString".
inline void WriteUninstallEntry() { WriteRegistryRows(kInstallRows, 2, ""); }
// HKEY_CURRENT_USER Software\Tenbrel\Vorn\Output: "InstallDir".
inline void WriteInstallDir() { WriteRegistryRows(kInstallRows + 2, 1, ""); }
// The COM class of VornDll.dll and its handlers for files and folders.
inline void RegisterShellExtension() { WriteRegistryRows(kInstallRows + 3, 5, ""); }
