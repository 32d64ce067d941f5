#include "registry_keys.h"

#define VORN_DLL_CLSID "{3C81D0A7-52E9-4B6F-9A14-E0C27B5D3F96}"

const char kClsidKey[] = "CLSID\\" VORN_DLL_CLSID;
const char kInprocServerKey[] = "CLSID\\" VORN_DLL_CLSID "\\InprocServer32";
const char kFileHandlerKey[] = "*\\shellex\\ContextMenuHandlers\\VornDll";
const char kFolderHandlerKey[] = "Folder\\shellex\\ContextMenuHandlers\\VornDll";
const char kOutputKey[] = "Software\\Tenbrel\\Vorn\\Output";
