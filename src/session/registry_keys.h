// Registry names written by the installation and removed again when the
// shell extension turns out to be in use during extraction; both sides use
// these, so they stay byte for byte the same. They lie one after the other
// in kRegistryNames (registry_keys.cpp), so that the installation's registry
// script can name any of them by a one-byte offset.
#pragma once

extern const char kRegistryNames[];

// Offsets of the names in kRegistryNames.
enum {
  CLSID_KEY_AT = 0,                          // "CLSID\{3C81D0A7-52E9-4B6F-9A14-E0C27B5D3F96}"
  CLSID_AT = CLSID_KEY_AT + 6,               // the class id with its braces (38 characters)
  INPROC_SERVER_KEY_AT = CLSID_KEY_AT + 45,  // the same key's "InprocServer32" sub-key
  FILE_HANDLER_KEY_AT = INPROC_SERVER_KEY_AT + 60,  // "*\shellex\ContextMenuHandlers\VornDll"
  HANDLER_TAIL_AT = FILE_HANDLER_KEY_AT + 1,        // the same without the "*"
  VORN_DLL_AT = FILE_HANDLER_KEY_AT + 30,           // "VornDll", its last word
  OUTPUT_KEY_AT = FILE_HANDLER_KEY_AT + 38,         // "Software\Tenbrel\Vorn\Output"
  COMMAND_AT = OUTPUT_KEY_AT + 29,                  // "\command", the last part of a verb's key
  REGISTRY_NAMES_SIZE = COMMAND_AT + 9,
};

// "CLSID\{3C81D0A7-52E9-4B6F-9A14-E0C27B5D3F96}" under HKEY_CLASSES_ROOT and
// its "InprocServer32" sub-key.
#define kClsidKey (kRegistryNames + CLSID_KEY_AT)
#define kInprocServerKey (kRegistryNames + INPROC_SERVER_KEY_AT)
// "*\shellex\ContextMenuHandlers\VornDll" under HKEY_CLASSES_ROOT.
#define kFileHandlerKey (kRegistryNames + FILE_HANDLER_KEY_AT)
// "VornDll", the shell extension's name (its file is VornDll.dll).
#define kVornDllName (kRegistryNames + VORN_DLL_AT)
// "Software\Tenbrel\Vorn\Output" under HKEY_CURRENT_USER: backups of
// foreign classes and the install directory.
#define kOutputKey (kRegistryNames + OUTPUT_KEY_AT)
// The class id text, the end of kClsidKey.
#define kShellExtensionClsid (kRegistryNames + CLSID_AT)
// The same handler under "Folder"; the installation composes it as "Folder"
// and the handler key without its "*".
#define kFolderHandlerKey "Folder\\shellex\\ContextMenuHandlers\\VornDll"
