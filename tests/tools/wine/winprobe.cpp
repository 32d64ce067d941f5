// winprobe: looks at the windows of other programs under Wine, for tests
// that drive a GUI program from outside.
//
//   winprobe dump   [filters]                 print the matching windows once
//   winprobe wait   [filters] [--gone] [--timeout MS]
//                   wait until a window matches (with --gone: until none
//                   does), then print it
//   winprobe freeze [filters] [--timeout MS]
//                   let the matching window's process run only in short
//                   slices (its threads other than the window's own are
//                   suspended in between) until the filters match; leave
//                   those threads suspended inside the program's own code,
//                   its C runtime or a harmless system call (see
//                   SafeRanges) and print the window. The window thread keeps
//                   running, so the window paints and takes clicks. The
//                   first line, "watching", says that it has begun to look
//                   (a test may then start what it waits for).
//                   With --anywhere the threads may stop anywhere (for a
//                   quick look at the window only; thaw right after).
//   winprobe settle [filters] [--timeout MS]
//                   return once the window's thread has handled every
//                   message and input event that came before (a click on
//                   it, say), then print the window: the window is made to
//                   repaint, and a window is painted only when nothing
//                   else waits for its thread
//   winprobe thaw   [filters]                 resume what freeze suspended
//   winprobe press ID [filters]               post a click of control ID
//   winprobe close  [filters]                 send WM_CLOSE (as the close box
//                   does) and return once the window has handled it
//
// Filters (all must hold; texts are UTF-8 and compared exactly):
//   --class NAME      window class, e.g. VORNSFXCLASS or #32770 (message box)
//   --title TEXT      window title
//   --label TEXT      a Static child shows TEXT
//   --progress-min N  the progress bar child stands at N or more
//   --pushed ID / --released ID   button ID is / is not held down
//   --hidden          also consider windows that are not visible
//
// With --font gui (the stock GUI font) or --font "FACE,POINTS" (as a
// dialog makes it from its template), each child with a text also shows
// style=0x.. (its window style) and extent=W,H: the pixels its text takes
// in one line in that font, measured at the screen's DPI.
//
// Output, one line per window and per child; the text comes last:
//   window hwnd=0x.. pid=N tid=N class=C visible=1 rect=L,T,R,B center=X,Y title=TEXT
//   child hwnd=0x.. class=C id=N visible=1 rect=L,T,R,B center=X,Y pos=N state=N
//         style=0x.. extent=W,H text=TEXT
// Line breaks inside texts are written as \n. Coordinates are screen
// pixels, not scaled down for the probe (it declares itself DPI-aware, as a
// program looking at DPI-aware windows must). Exit code 0 when found, 1 on timeout or when nothing matches,
// 2 on a usage error. --timeout (default 10 s) also bounds each message
// sent to a window.
#include "tool_common.h"
#include <commctrl.h>
#include <tlhelp32.h>

struct Filters {
  const char* windowClass;
  const char* title;
  const char* label;
  int progressMin;
  int pushedId;
  int releasedId;
  bool hidden;
};

static Filters filters = {0, 0, 0, -1, -1, -1, false};
static DWORD timeout = 10000;
static HFONT measureFont;  // --font

static WCHAR* WindowTextWide(HWND window) {
  int length = GetWindowTextLengthW(window);
  WCHAR* text = (WCHAR*)calloc((size_t)length + 2, sizeof(WCHAR));
  GetWindowTextW(window, text, length + 1);
  return text;
}

static char* WindowTextUtf8(HWND window) {
  WCHAR* text = WindowTextWide(window);
  char* out = WideToCodePage(text, CP_UTF8);
  free(text);
  return out;
}

static char* EscapedText(HWND window) {
  char* text = WindowTextUtf8(window);
  char* out = (char*)calloc(strlen(text) * 2 + 1, 1);
  char* p = out;
  for (const char* s = text; *s; ++s) {
    if (*s == '\n') { *p++ = '\\'; *p++ = 'n'; }
    else if (*s != '\r') *p++ = *s;
  }
  free(text);
  return out;
}

static bool ClassIs(HWND window, const char* name) {
  char buffer[256];
  GetClassNameA(window, buffer, sizeof buffer);
  return lstrcmpiA(buffer, name) == 0;
}

// A message sent with a time limit, so that a busy or stuck program never
// blocks the probe; -1 when it did not answer.
static LRESULT Ask(HWND window, UINT message) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, timeout, &result)) return -1;
  return (LRESULT)result;
}

// The installer draws its progress bar itself: a frame (id 1019) and a bar
// inside it (id 1018) as wide as the percentage. The position of the bar
// when `child` is it, otherwise -1.
enum { PROGRESS_FILL_ID = 1018, PROGRESS_FRAME_ID = 1019 };
static long ProgressPosition(HWND child) {
  if (GetDlgCtrlID(child) != PROGRESS_FILL_ID) return -1;
  HWND frame = GetDlgItem(GetParent(child), PROGRESS_FRAME_ID);
  RECT bar, whole;
  if (!frame || !GetWindowRect(child, &bar) || !GetWindowRect(frame, &whole) || whole.right <= whole.left)
    return -1;
  return (bar.right - bar.left) * 100 / (whole.right - whole.left);
}

struct ChildSearch {
  bool labelFound;
  bool progressOk;
  bool pushedOk;
  bool releasedOk;
};

static BOOL CALLBACK CheckChild(HWND child, LPARAM param) {
  ChildSearch* search = (ChildSearch*)param;
  if (filters.label && ClassIs(child, "Static")) {
    char* text = WindowTextUtf8(child);
    if (strcmp(text, filters.label) == 0) search->labelFound = true;
    free(text);
  }
  if (filters.progressMin >= 0 && ProgressPosition(child) >= filters.progressMin) search->progressOk = true;
  int id = GetDlgCtrlID(child);
  if (filters.pushedId >= 0 && id == filters.pushedId) {
    LRESULT state = Ask(child, BM_GETSTATE);
    if (state >= 0 && (state & BST_PUSHED)) search->pushedOk = true;
  }
  if (filters.releasedId >= 0 && id == filters.releasedId) {
    LRESULT state = Ask(child, BM_GETSTATE);
    if (state >= 0 && !(state & BST_PUSHED)) search->releasedOk = true;
  }
  return TRUE;
}

// The filters on the window itself (class, title, visibility).
static bool OuterMatch(HWND window) {
  if (!filters.hidden && !IsWindowVisible(window)) return false;
  if (filters.windowClass && !ClassIs(window, filters.windowClass)) return false;
  if (filters.title) {
    char* title = WindowTextUtf8(window);
    bool same = strcmp(title, filters.title) == 0;
    free(title);
    if (!same) return false;
  }
  return true;
}

static bool FullMatch(HWND window) {
  if (!OuterMatch(window)) return false;
  ChildSearch search = {false, false, false, false};
  EnumChildWindows(window, CheckChild, (LPARAM)&search);
  return (!filters.label || search.labelFound) && (filters.progressMin < 0 || search.progressOk) &&
         (filters.pushedId < 0 || search.pushedOk) && (filters.releasedId < 0 || search.releasedOk);
}

struct WindowList {
  HWND windows[64];
  int count;
  bool outerOnly;
};

static BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  WindowList* list = (WindowList*)param;
  bool match = list->outerOnly ? OuterMatch(window) : FullMatch(window);
  if (match && list->count < 64) list->windows[list->count++] = window;
  return TRUE;
}

static WindowList FindWindows(bool outerOnly) {
  WindowList list;
  list.count = 0;
  list.outerOnly = outerOnly;
  EnumWindows(CollectWindow, (LPARAM)&list);
  return list;
}

static void PrintRect(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  Out("rect=%ld,%ld,%ld,%ld center=%ld,%ld", r.left, r.top, r.right, r.bottom, (r.left + r.right) / 2,
      (r.top + r.bottom) / 2);
}

// The child's style and the size of its text in one line (an & marks the
// next letter as a shortcut key and takes no room, as when drawn).
static void PrintTextExtent(HWND child) {
  WCHAR* text = WindowTextWide(child);
  HDC screen = GetDC(0);
  HGDIOBJ old = SelectObject(screen, measureFont);
  RECT extent = {0, 0, 0, 0};
  DrawTextW(screen, text, -1, &extent, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(screen, old);
  ReleaseDC(0, screen);
  free(text);
  Out(" style=0x%lx extent=%ld,%ld", (unsigned long)GetWindowLongW(child, GWL_STYLE), extent.right - extent.left,
      extent.bottom - extent.top);
}

// --font gui, or FACE,POINTS made as the dialog manager makes a template's
// font: its height in points at the screen's DPI.
static HFONT MeasureFont(const char* fontName) {
  if (strcmp(fontName, "gui") == 0) return (HFONT)GetStockObject(DEFAULT_GUI_FONT);
  const char* comma = strrchr(fontName, ',');
  if (!comma) return 0;
  char face[LF_FACESIZE] = {0};
  memcpy(face, fontName, (size_t)(comma - fontName) < sizeof face - 1 ? (size_t)(comma - fontName) : sizeof face - 1);
  HDC screen = GetDC(0);
  const int height = -MulDiv(atoi(comma + 1), GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(0, screen);
  return CreateFontA(height, 0, 0, 0, FW_DONTCARE, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
}

static BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  char name[256];
  GetClassNameA(child, name, sizeof name);
  Out("child hwnd=%p class=%s id=%d visible=%d ", (void*)child, name, GetDlgCtrlID(child),
      IsWindowVisible(child) ? 1 : 0);
  PrintRect(child);
  const long position = ProgressPosition(child);
  if (position >= 0) Out(" pos=%ld", position);
  if (ClassIs(child, "Button")) Out(" state=%ld", (long)Ask(child, BM_GETSTATE));
  if (measureFont && GetWindowTextLengthW(child) > 0) PrintTextExtent(child);
  char* text = EscapedText(child);
  Out(" text=%s\n", text);
  free(text);
  return TRUE;
}

static void PrintWindow(HWND window) {
  char name[256];
  GetClassNameA(window, name, sizeof name);
  DWORD pid = 0;
  DWORD tid = GetWindowThreadProcessId(window, &pid);
  Out("window hwnd=%p pid=%lu tid=%lu class=%s visible=%d ", (void*)window, pid, tid, name,
      IsWindowVisible(window) ? 1 : 0);
  PrintRect(window);
  char* title = EscapedText(window);
  Out(" title=%s\n", title);
  free(title);
  EnumChildWindows(window, PrintChild, 0);
}

static void PrintAll(const WindowList& list) {
  for (int i = 0; i < list.count; ++i) PrintWindow(list.windows[i]);
}

// The threads of a process other than its window thread, opened once.
struct OtherThreads {
  HANDLE handles[32];
  int count;
};

static OtherThreads OpenOtherThreads(DWORD pid, DWORD keep) {
  OtherThreads threads;
  threads.count = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return threads;
  THREADENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != pid || entry.th32ThreadID == keep || threads.count == 32) continue;
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, entry.th32ThreadID);
    if (thread) threads.handles[threads.count++] = thread;
  }
  CloseHandle(snapshot);
  return threads;
}

static void CloseThreads(OtherThreads* threads) {
  for (int i = 0; i < threads->count; ++i) CloseHandle(threads->handles[i]);
  threads->count = 0;
}

static void SuspendAll(OtherThreads* threads) {
  for (int i = 0; i < threads->count; ++i) SuspendThread(threads->handles[i]);
}

// Resumes each thread until it runs again.
static void ResumeAll(OtherThreads* threads) {
  for (int i = 0; i < threads->count; ++i) {
    DWORD previous;
    do previous = ResumeThread(threads->handles[i]);
    while (previous != (DWORD)-1 && previous > 1);
  }
}

// Where a held thread may stand: the program's own image (its .exe) and the
// C runtime's (msvcrt.dll, whose only locks are those of the program's own
// streams). Elsewhere, in the system libraries, it might hold a lock that
// the window thread needs while it paints or takes a click.
//
// A few system calls are safe too: a thread inside the stub of SendMessage's
// call (waiting for the window thread to answer) or of a file read or write
// holds nothing, since their callers take no lock around them. A worker that
// copies stored data spends nearly all its time in those, so without them it
// is hardly ever seen at a safe point.
struct SyscallStub {
  const char* module;
  const char* function;
};

static const SyscallStub kSafeStubs[] = {
    {"win32u.dll", "NtUserMessageCall"},
    {"ntdll.dll", "NtReadFile"},
    {"ntdll.dll", "NtWriteFile"},
};

// The program, its C runtime and each stub.
enum { MAX_SAFE_RANGES = 2 + sizeof kSafeStubs / sizeof kSafeStubs[0] };

struct SafeRanges {
  DWORD base[MAX_SAFE_RANGES];
  DWORD size[MAX_SAFE_RANGES];
  int count;
};

// Wine's system-call stubs: mov eax, n; mov edx, dispatcher; call edx; ret n.
enum { SYSCALL_STUB_SIZE = 16 };

static void AddRange(SafeRanges* ranges, DWORD base, DWORD size) {
  if (ranges->count == MAX_SAFE_RANGES) return;
  ranges->base[ranges->count] = base;
  ranges->size[ranges->count++] = size;
}

// The stubs lie at the same offsets in the other process's copy of a
// library as in ours; only the base may differ.
static void AddSyscallStubs(SafeRanges* ranges, const char* module, DWORD targetBase) {
  HMODULE own = GetModuleHandleA(module);
  if (!own) return;
  for (const SyscallStub& stub : kSafeStubs) {
    if (lstrcmpiA(stub.module, module) != 0) continue;
    FARPROC address = GetProcAddress(own, stub.function);
    if (!address) continue;
    DWORD offset = (DWORD)((DWORD_PTR)address - (DWORD_PTR)own);
    AddRange(ranges, targetBase + offset, SYSCALL_STUB_SIZE);
  }
}

static bool FindSafeRanges(DWORD pid, SafeRanges* ranges) {
  ranges->count = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  MODULEENTRY32 entry;
  entry.dwSize = sizeof entry;
  bool program = false;
  for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry)) {
    const char* name = entry.szModule;
    DWORD base = (DWORD)(DWORD_PTR)entry.modBaseAddr;
    size_t length = strlen(name);
    bool isProgram = !program && length > 4 && lstrcmpiA(name + length - 4, ".exe") == 0;
    if (isProgram || lstrcmpiA(name, "msvcrt.dll") == 0) AddRange(ranges, base, entry.modBaseSize);
    program = program || isProgram;
    AddSyscallStubs(ranges, name, base);
  }
  CloseHandle(snapshot);
  return program;
}

// True when every (suspended) thread stands in a safe range.
static bool ThreadsAtSafePoints(OtherThreads* threads, const SafeRanges* ranges) {
  for (int i = 0; i < threads->count; ++i) {
    CONTEXT context;
    memset(&context, 0, sizeof context);
    context.ContextFlags = CONTEXT_CONTROL;
    if (!GetThreadContext(threads->handles[i], &context)) return false;
    bool safe = false;
    for (int r = 0; r < ranges->count; ++r)
      if (context.Eip >= ranges->base[r] && context.Eip - ranges->base[r] < ranges->size[r]) safe = true;
    if (!safe) return false;
  }
  return true;
}

// The label test alone, which asks nothing of the program's threads.
static bool LabelMatch(HWND window) {
  if (!filters.label) return true;
  ChildSearch search = {false, false, false, false};
  Filters saved = filters;
  filters.progressMin = filters.pushedId = filters.releasedId = -1;
  EnumChildWindows(window, CheckChild, (LPARAM)&search);
  filters = saved;
  return search.labelFound;
}

static LONGLONG Microseconds() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return now.QuadPart * 1000000 / frequency.QuadPart;
}

static void SpinMicroseconds(LONGLONG microseconds) {
  LONGLONG end = Microseconds() + microseconds;
  do SwitchToThread();
  while (Microseconds() < end);
}

// With `anywhere`, the threads may be left standing anywhere: only for a
// look at the window that needs nothing from its thread, followed at once by
// thaw.
static int Freeze(DWORD deadline, bool anywhere) {
  // First watch without holding anything up until the window shows the
  // label; then let the other threads run in slices of about a millisecond
  // until everything matches at a moment when they stand at safe points.
  Out("watching\n");
  while (GetTickCount() < deadline) {
    WindowList list = FindWindows(true);
    if (list.count == 0 || !LabelMatch(list.windows[0])) {
      Sleep(1);
      continue;
    }
    HWND window = list.windows[0];
    DWORD pid = 0;
    DWORD tid = GetWindowThreadProcessId(window, &pid);
    SafeRanges ranges;
    OtherThreads threads = OpenOtherThreads(pid, tid);
    if (threads.count == 0 || !FindSafeRanges(pid, &ranges)) {
      CloseThreads(&threads);
      Sleep(1);
      continue;
    }
    int cycles = 0, inside = 0;
    while (GetTickCount() < deadline && IsWindow(window)) {
      LONGLONG held = Microseconds();
      SuspendAll(&threads);
      ++cycles;
      bool safe = anywhere || ThreadsAtSafePoints(&threads, &ranges);
      if (safe) ++inside;
      if (safe && FullMatch(window)) {
        PrintWindow(window);
        Out("frozen pid=%lu threads=%d\n", pid, threads.count);
        return 0;
      }
      ResumeAll(&threads);
      held = Microseconds() - held;
      // Mostly short slices, so that a thread that spends much of its time
      // waiting for the window thread is still often seen at a safe point;
      // but never shorter than the threads were just held, or on a slow
      // machine (under emulation, a suspension takes milliseconds) the
      // program would hardly run between two looks.
      if (cycles % 8 == 0) Sleep(1);
      else SpinMicroseconds(held > 200 ? held : 200);
    }
    if (getenv("WINPROBE_DEBUG"))
      Err("winprobe: window gone after %d slices, %d at safe points, %d threads\n", cycles, inside,
          threads.count);
    CloseThreads(&threads);
  }
  Err("winprobe: freeze timed out\n");
  return 1;
}

static int Usage() {
  Err("usage: winprobe dump|wait|freeze|settle|thaw|close|press ID [--class C] [--title T] [--label T] "
      "[--progress-min N] [--pushed ID] [--released ID] [--hidden] [--gone] [--anywhere] [--timeout MS] "
      "[--font gui|FACE,POINTS]\n");
  return 2;
}

int main() {
  // Windows of a DPI-aware program are seen at their own size (Windows
  // would scale their rectangles down for a probe that is not).
  typedef BOOL(WINAPI * SetAware)();
  SetAware setAware = (SetAware)(void*)GetProcAddress(GetModuleHandleA("user32"), "SetProcessDPIAware");
  if (setAware) setAware();
  int argc;
  char** argv = Utf8Arguments(&argc);
  if (argc < 2) return Usage();
  const char* command = argv[1];
  int first = 2;
  int pressId = -1;
  if (strcmp(command, "press") == 0) {
    if (argc < 3) return Usage();
    pressId = atoi(argv[2]);
    first = 3;
  }
  bool gone = false;
  bool anywhere = false;
  for (int i = first; i < argc; ++i) {
    const char* option = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : 0;
    if (strcmp(option, "--hidden") == 0) { filters.hidden = true; continue; }
    if (strcmp(option, "--gone") == 0) { gone = true; continue; }
    if (strcmp(option, "--anywhere") == 0) { anywhere = true; continue; }
    if (!value) return Usage();
    ++i;
    if (strcmp(option, "--class") == 0) filters.windowClass = value;
    else if (strcmp(option, "--title") == 0) filters.title = value;
    else if (strcmp(option, "--label") == 0) filters.label = value;
    else if (strcmp(option, "--progress-min") == 0) filters.progressMin = atoi(value);
    else if (strcmp(option, "--pushed") == 0) filters.pushedId = atoi(value);
    else if (strcmp(option, "--released") == 0) filters.releasedId = atoi(value);
    else if (strcmp(option, "--timeout") == 0) timeout = (DWORD)atol(value);
    else if (strcmp(option, "--font") == 0) {
      if (!(measureFont = MeasureFont(value))) return Usage();
    }
    else return Usage();
  }
  DWORD deadline = GetTickCount() + timeout;

  if (strcmp(command, "dump") == 0) {
    WindowList list = FindWindows(false);
    PrintAll(list);
    return list.count ? 0 : 1;
  }
  if (strcmp(command, "wait") == 0) {
    for (;;) {
      WindowList list = FindWindows(false);
      if (gone ? list.count == 0 : list.count > 0) {
        PrintAll(list);
        return 0;
      }
      if (GetTickCount() >= deadline) break;
      Sleep(10);
    }
    Err("winprobe: wait timed out\n");
    return 1;
  }
  if (strcmp(command, "freeze") == 0) return Freeze(deadline, anywhere);
  if (strcmp(command, "settle") == 0) {
    WindowList list = FindWindows(false);
    if (list.count == 0) return 1;
    HWND window = list.windows[0];
    RedrawWindow(window, 0, 0, RDW_INVALIDATE);
    while (GetUpdateRect(window, 0, FALSE)) {
      if (!IsWindow(window) || GetTickCount() >= deadline) {
        Err("winprobe: settle timed out\n");
        return 1;
      }
      Sleep(10);
    }
    PrintWindow(window);
    return 0;
  }
  if (strcmp(command, "thaw") == 0) {
    WindowList list = FindWindows(true);
    for (int i = 0; i < list.count; ++i) {
      DWORD pid = 0;
      DWORD tid = GetWindowThreadProcessId(list.windows[i], &pid);
      OtherThreads threads = OpenOtherThreads(pid, tid);
      ResumeAll(&threads);
      CloseThreads(&threads);
    }
    return list.count ? 0 : 1;
  }
  if (strcmp(command, "press") == 0) {
    WindowList list = FindWindows(false);
    for (int i = 0; i < list.count; ++i) {
      HWND control = GetDlgItem(list.windows[i], pressId);
      PostMessageA(list.windows[i], WM_COMMAND, MAKEWPARAM(pressId, BN_CLICKED), (LPARAM)control);
    }
    return list.count ? 0 : 1;
  }
  if (strcmp(command, "close") == 0) {
    WindowList list = FindWindows(false);
    for (int i = 0; i < list.count; ++i) {
      DWORD_PTR result;
      if (!SendMessageTimeoutW(list.windows[i], WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, timeout, &result)) return 1;
    }
    return list.count ? 0 : 1;
  }
  return Usage();
}
