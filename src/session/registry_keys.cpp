#include "registry_keys.h"

#define VORN_DLL_CLSID "{3C81D0A7-52E9-4B6F-9A14-E0C27B5D3F96}"

const char kRegistryNames[] =
    "CLSID\\" VORN_DLL_CLSID "\0"
    "CLSID\\" VORN_DLL_CLSID "\\InprocServer32\0"
    "*\\shellex\\ContextMenuHandlers\\VornDll\0"
    "Software\\Tenbrel\\Vorn\\Output\0"
    "\\command";

static_assert(sizeof kRegistryNames == REGISTRY_NAMES_SIZE, "the offsets match the names");
