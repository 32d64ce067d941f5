// lnkread: prints what a shell link (.lnk) file holds, as IShellLinkA
// reports it, one field a line, text in UTF-8:
//   target=...  arguments=...  workdir=...  icon=PATH,INDEX  description=...
//   showcmd=N
// Exit code 0, 1 when the file cannot be loaded as a link.
#include "tool_common.h"
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

static void PrintField(const char* name, const char* ansi) {
  char* text = AnsiToUtf8(ansi, -1);
  Out("%s=%s\n", name, text);
  free(text);
}

int main() {
  int argc;
  WCHAR** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc != 2) {
    Err("usage: lnkread FILE.lnk\n");
    return 2;
  }
  CoInitialize(0);
  IShellLinkA* link = 0;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, 0, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link))) {
    Err("lnkread: no shell link object\n");
    return 1;
  }
  IPersistFile* file = 0;
  if (FAILED(link->QueryInterface(IID_IPersistFile, (void**)&file)) || FAILED(file->Load(argv[1], STGM_READ))) {
    Err("lnkread: cannot load the link\n");
    return 1;
  }
  char text[MAX_PATH * 4];
  text[0] = 0;
  link->GetPath(text, sizeof text, 0, SLGP_RAWPATH);
  PrintField("target", text);
  text[0] = 0;
  link->GetArguments(text, sizeof text);
  PrintField("arguments", text);
  text[0] = 0;
  link->GetWorkingDirectory(text, sizeof text);
  PrintField("workdir", text);
  int iconIndex = 0;
  text[0] = 0;
  link->GetIconLocation(text, sizeof text, &iconIndex);
  char* icon = AnsiToUtf8(text, -1);
  Out("icon=%s,%d\n", icon, iconIndex);
  free(icon);
  text[0] = 0;
  link->GetDescription(text, sizeof text);
  PrintField("description", text);
  int show = 0;
  link->GetShowCmd(&show);
  Out("showcmd=%d\n", show);
  file->Release();
  link->Release();
  CoUninitialize();
  return 0;
}
