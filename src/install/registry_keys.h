// Registry names written by the installation and removed again when the
// shell extension turns out to be in use during extraction; both sides use
// these, so they stay byte for byte the same.
#pragma once

#define VORN_DLL_CLSID "{3C81D0A7-52E9-4B6F-9A14-E0C27B5D3F96}"

static const char kShellExtensionClsid[] = VORN_DLL_CLSID;
static const char kClsidKey[] = "CLSID\\" VORN_DLL_CLSID;
static const char kInprocServerKey[] = "CLSID\\" VORN_DLL_CLSID "\\InprocServer32";
static const char kFileHandlerKey[] = "*\\shellex\\ContextMenuHandlers\\VornDll";
static const char kFolderHandlerKey[] = "Folder\\shellex\\ContextMenuHandlers\\VornDll";
static const char kOutputKey[] = "Software\\Tenbrel\\Vorn\\Output";
