#include "../session/session.h"
#include "progress_window.h"
#include "../archive/progress.h"
#include "../archive/worker.h"
#include "../install/associations.h"
#include "../session/command_line.h"
#include "../session/config_block.h"
#include "../ui/options_layout.h"

static const char kWindowClass[] = "VORNSFXCLASS";
// "中止" (Abort)
static const char kAbortText[] = "\x92\x86\x8E~";

enum { ICON_RESOURCE = 102 };

// Every DLL that the system loads by name later on (for the shell, COM,
// the folder browser) comes from the system folder only, never from the
// installer's own folder. Systems without SetDefaultDllDirectories (before
// Windows 8, unless updated) at least leave the current folder out.
static void RestrictDllSearch() {
  typedef BOOL(WINAPI * SetDirectories)(DWORD);
  SetDirectories setDefault =
      (SetDirectories)(void*)GetProcAddress(GetModuleHandleA("kernel32"), "SetDefaultDllDirectories");
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  else SetDllDirectoryA("");
}

// Windows then draws the windows at the screen's DPI instead of stretching
// them as a bitmap (blurred): the options dialog grows with its font, the
// progress window is laid out for the DPI read here. Systems before Vista
// have neither the call nor the scaling.
static void UseScreenDpi() {
  typedef BOOL(WINAPI * SetAware)();
  SetAware setAware = (SetAware)(void*)GetProcAddress(GetModuleHandleA("user32"), "SetProcessDPIAware");
  if (setAware) setAware();
  HDC screen = GetDC(0);
  screenDpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(0, screen);
}

// A window's place and size in pixels at 96 DPI (the progress window has
// no dialog units).
struct Placement {
  unsigned char x, y, width, height;
};

// The four lengths scaled to the screen's DPI.
static void ScalePlacement(const Placement& place, int* scaled) {
  for (int i = 0; i < 4; ++i) scaled[i] = ScaledPixels((&place.x)[i]);
}

// The progress window: centred under the mouse cursor, this far to the left
// of it and below it.
static const Placement kProgressWindow = {110, 32, 220, 100};

// The progress window's children: the member's name, the bar's frame, the
// bar that the window widens with the percentage (see ProgressWindowProc),
// and the Abort button, the one child of class "BUTTON". Each row is six
// bytes.
struct ChildWindow {
  unsigned char style;
  Placement place;
  unsigned char idAbove1000;
};
static const ChildWindow kChildWindows[] = {
    {SS_LEFT, {7, 5, 200, 20}, ID_NAME_LABEL - 1000},
    {SS_BLACKFRAME, {7, 23, 200, 20}, ID_PROGRESS_FRAME - 1000},
    {SS_BLACKRECT, {7, 23, 0, 20}, ID_PROGRESS_FILL - 1000},
    {BS_PUSHBUTTON, {65, 50, 88, 19}, ID_ABORT_BUTTON - 1000},
};

static bool CreateChildWindows(SfxSession* session) {
  HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
  const ChildWindow* rows = kChildWindows;
  asm("" : "+r"(rows));  // short offsets from a register, not full addresses
  for (const ChildWindow* row = rows; row != rows + 4; ++row) {
    const ChildWindow& child = *row;
    const bool button = child.idAbove1000 == ID_ABORT_BUTTON - 1000;
    int place[4];
    ScalePlacement(child.place, place);
    HWND window = CreateWindowExA(0, button ? kButtonClass : kStaticClass, button ? kAbortText : "",
                                  WS_CHILD | WS_VISIBLE | child.style, place[0], place[1], place[2], place[3],
                                  session->main_window,
                                  (HMENU)(INT_PTR)(1000 + child.idAbove1000), session->instance, 0);
    if (!window) return false;
    SendMessageA(window, WM_SETFONT, (WPARAM)font, 0);
  }
  return true;
}

// Fills the session from the command line and the configuration block and
// builds the hidden progress window; false ends the program silently.
static bool StartUp(SfxSession* session, const char* commandLineTail) {
  ParseCommandLine(session, commandLineTail);
  GetModuleFileNameA(0, session->module_path, MAX_PATH);
  session->own_file = fopen(session->module_path, "rb");
  if (!session->own_file) return false;
  if (fseek(session->own_file, SFX_STUB_SIZE, SEEK_SET) != 0) return false;
  if (!ReadSfxConfig(session)) return false;
  DetectAssociations(session);

  // The plain class record: a class without a small icon of its own takes
  // it from its icon, as with the extended record and no small icon.
  WNDCLASSA windowClass;
  memset(&windowClass, 0, sizeof windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = ProgressWindowProc;
  windowClass.hInstance = session->instance;
  windowClass.hIcon = LoadIconA(session->instance, MAKEINTRESOURCEA(ICON_RESOURCE));
  windowClass.hCursor = LoadCursorA(0, IDC_ARROW);
  windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassA(&windowClass)) return false;

  UseScreenDpi();
  POINT cursor;
  GetCursorPos(&cursor);
  int place[4];
  ScalePlacement(kProgressWindow, place);
  session->main_window =
      CreateWindowExA(0, kWindowClass, kDefaultTitle, WS_POPUP | WS_BORDER | WS_DLGFRAME | WS_SYSMENU,
                      cursor.x - place[0], cursor.y + place[1], place[2], place[3], 0, 0, session->instance, session);
  if (!session->main_window) return false;
  progressWindow = session->main_window;
  if (!CreateChildWindows(session)) return false;
  // A download cut short (or a damaged archive) is refused before anything
  // is asked or written.
  if (!ScanArchive(session)) {
    ReportBrokenArchive(session);
    return false;
  }
  // The window was made without WS_VISIBLE: it stays hidden until the run
  // starts, with nothing to hide or paint before.
  SendMessageA(session->main_window, WM_SFX_START, 0, 0);
  return true;
}

static int RunMessageLoop() {
  MSG message;
  while (GetMessageA(&message, 0, 0, 0)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return (int)message.wParam;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLineTail, int) {
  SfxSession session;
  InitSession(&session, instance);
  // A stub with nothing behind it fails too: no installer ends so.
  int result = StartUp(&session, commandLineTail) ? RunMessageLoop() : RUN_FAILED;
  CloseSession(&session);
  return result;
}

// The image's own base address, given by the linker: the instance handle.
extern "C" IMAGE_DOS_HEADER __ImageBase;

// The stub has no C runtime start-up code of its own: msvcrt.dll initialises
// itself when it is loaded.
extern "C" void WinMainCRTStartup() {
  // The import table's address for every call from here on (imports.h);
  // the system's own EBX is never needed again, as the program ends in
  // ExitProcess. Loaded by assembly, so that the calls go through EBX
  // rather than to the addresses the compiler would otherwise fold in.
  asm volatile(IMPORT_BASE_LOAD);
  RestrictDllSearch();
  char* tail = (char*)CommandLineTail(GetCommandLineA());
  ExitProcess((UINT)WinMain((HINSTANCE)&__ImageBase, 0, tail, SW_SHOWDEFAULT));
}
