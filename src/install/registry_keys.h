// Registry names written by the installation and removed again when the
// shell extension turns out to be in use during extraction; both sides use
// these, so they stay byte for byte the same. Defined once, in
// registry_keys.cpp.
#pragma once

// "CLSID\{3C81D0A7-52E9-4B6F-9A14-E0C27B5D3F96}" under HKEY_CLASSES_ROOT.
extern const char kClsidKey[];
// The same key's "InprocServer32" sub-key.
extern const char kInprocServerKey[];
// "*\shellex\ContextMenuHandlers\VornDll" and the same under "Folder".
extern const char kFileHandlerKey[];
extern const char kFolderHandlerKey[];
// "Software\Tenbrel\Vorn\Output" under HKEY_CURRENT_USER: backups of
// foreign classes and the install directory.
extern const char kOutputKey[];

// The class id text with its braces (38 characters), the end of kClsidKey.
enum { CLSID_KEY_PREFIX = 6 };  // "CLSID\"
#define kShellExtensionClsid (kClsidKey + CLSID_KEY_PREFIX)
