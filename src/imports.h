// The stub's import table, laid out by the stub itself (imports.cpp) in
// a known order, so that code can reach every slot from one base register.
//
// Most of the stub's calls go to Windows and the C runtime, each through a
// slot of the import address table: as `call [slot]` six bytes and a base
// relocation (two more). With the table's address in a register such a
// call takes three bytes and no relocation. The layers above the decoders
// (session, archive, install, ui, app) keep it in EBX for good: they are
// compiled with EBX reserved (STUB_IMPORT_BASE, cmake/stub.cmake), and each
// of their calls of an imported function goes through the register (the
// macros at the end). The decoders, whose loops want every register, and
// the progress counters that they call (archive/progress.cpp), use the
// slots as usual. What the system calls in the reserved layers (the window
// and dialog procedures, the worker thread) is entered through the two
// *_WITH_IMPORT_BASE macros, which set EBX and give the caller its own back.
//
// There is no import library: a function missing from the lists below
// fails the link (an undefined __imp_ symbol); add it to its DLL's list and
// its call macro at the end.
//
// Stub only; platform.h includes it for Windows.
#pragma once

// Every imported function with its decoration: the stack bytes of a
// stdcall function, "" for a cdecl one (F); or a C runtime function and
// the older name msvcrt.dll exports it by (R); DLL by DLL in table order. The
// register holds the table's address plus IMPORT_BASE_OFFSET, so that the
// slots from 128 bytes below it to 124 above take a one-byte offset: the
// functions the reserved layers call most lie there, those called once and
// the decoders' own at the two ends.
#define KERNEL32_IMPORTS(F, R)                                                                          \
  F(GlobalMemoryStatus, "@4") F(ExitProcess, "@4") F(GetCommandLineA, "@0") F(GetModuleHandleA, "@4") \
  F(GetProcAddress, "@8") F(SetDllDirectoryA, "@4") F(GetModuleFileNameA, "@12")                      \
  F(GetWindowsDirectoryA, "@8") F(MultiByteToWideChar, "@24") F(CreateDirectoryA, "@8")               \
  F(GetCurrentDirectoryA, "@8") F(SetCurrentDirectoryA, "@4") F(lstrcpynA, "@12")
#define ADVAPI32_IMPORTS(F, R)                                                                    \
  F(RegCloseKey, "@4") F(RegCreateKeyExA, "@36") F(RegDeleteKeyA, "@8") F(RegOpenKeyExA, "@20") \
  F(RegQueryValueExA, "@24") F(RegSetValueExA, "@24")
#define GDI32_IMPORTS(F, R) F(GetStockObject, "@4") F(GetDeviceCaps, "@8")
#define OLE32_IMPORTS(F, R) \
  F(CoCreateInstance, "@20") F(CoInitialize, "@4") F(CoTaskMemFree, "@4") F(CoUninitialize, "@0")
#define SHELL32_IMPORTS(F, R)                                                            \
  F(SHBrowseForFolderA, "@4") F(SHChangeNotify, "@16") F(SHGetPathFromIDListA, "@8") \
  F(SHGetSpecialFolderPathA, "@16") F(ShellExecuteA, "@24")
#define USER32_IMPORTS(F, R)                                                                          \
  F(SendMessageA, "@16") F(GetDlgItem, "@8") F(MessageBoxA, "@16") F(SetWindowTextA, "@8")         \
  F(CreateWindowExA, "@48") F(EndDialog, "@8") F(wsprintfA, "") F(DefWindowProcA, "@16")           \
  F(DestroyWindow, "@4") F(DialogBoxIndirectParamA, "@20") F(DispatchMessageA, "@4") F(EnableWindow, "@8") \
  F(GetCursorPos, "@4") F(GetMessageA, "@16") F(LoadCursorA, "@8") F(LoadIconA, "@8")              \
  F(MapDialogRect, "@8") F(PostMessageA, "@16") F(PostQuitMessage, "@4") F(RegisterClassA, "@4")   \
  F(SetWindowPos, "@28") F(ShowWindow, "@8") F(TranslateMessage, "@4") F(GetDC, "@4") F(ReleaseDC, "@8")
#define MSVCRT_IMPORTS(F, R)                                                                                 \
  F(strlen, "") F(memcpy, "") F(free, "") F(memset, "") F(fread, "") F(fseek, "") F(fopen, "")           \
  F(_unlink, "") F(malloc, "") F(strcmp, "") F(ftell, "") F(fclose, "") F(_splitpath, "") F(fgetc, "") \
  F(_mktime64, "") R(_stat32, _stat) F(_beginthread, "") R(_utime32, _utime) F(memcmp, "") F(memmove, "")  \
  F(fwrite, "")
// The DLLs in table order; the slots of each end with a zero slot.
#define STUB_DLLS(D)                                                                  \
  D(kernel32, KERNEL32_IMPORTS) D(advapi32, ADVAPI32_IMPORTS) D(gdi32, GDI32_IMPORTS) \
  D(ole32, OLE32_IMPORTS) D(shell32, SHELL32_IMPORTS) D(user32, USER32_IMPORTS) D(msvcrt, MSVCRT_IMPORTS)
#define IMPORT_BASE_OFFSET 164

// The table as a record: per slot a pointer of the function's own type.
#define IMPORT_SLOT(name, decoration) decltype(&::name) name;
#define DLL_SLOTS(dll, IMPORTS) IMPORTS(IMPORT_SLOT, IMPORT_SLOT) void* dll##End;
struct ImportTable {
  STUB_DLLS(DLL_SLOTS)
};
#undef IMPORT_SLOT
#undef DLL_SLOTS
extern "C" const ImportTable importTable;

#define IMPORT_TEXT(x) #x
#define IMPORT_NUMBER(x) IMPORT_TEXT(x)
// Loads the register (assembly).
#define IMPORT_BASE_LOAD "movl $_importTable+" IMPORT_NUMBER(IMPORT_BASE_OFFSET) ", %ebx\n\t"

#ifdef STUB_IMPORT_BASE
register const char* importBase asm("ebx");
#define IMPORTED(name) (((const ImportTable*)(importBase - IMPORT_BASE_OFFSET))->name)

// Entries for the system into the reserved layers: `entry`, called with
// the system's own EBX, runs `body` (declared here, a static function of
// the same arguments and convention) with EBX holding the table's address,
// and gives the caller back its EBX. A thread procedure of one argument:
#define THREAD_ENTRY_WITH_IMPORT_BASE(entry, body)                                      \
  static void __cdecl body(void*) asm(#body) __attribute__((used));                      \
  __attribute__((naked)) void __cdecl entry(void*) {                                     \
    asm("push %ebx\n\t" IMPORT_BASE_LOAD "push 8(%esp)\n\tcall " #body "\n\tpop %ecx\n\t" \
        "pop %ebx\n\tret");                                                             \
    __builtin_unreachable();                                                            \
  }
// A window or dialog procedure, returning `type`:
#define PROCEDURE_WITH_IMPORT_BASE(type, entry, body)                                    \
  static type CALLBACK body(HWND, UINT, WPARAM, LPARAM) asm(#body) __attribute__((used)); \
  __attribute__((naked)) type CALLBACK entry(HWND, UINT, WPARAM, LPARAM) {               \
    asm("push %ebx\n\t" IMPORT_BASE_LOAD                                                 \
        "push 20(%esp)\n\tpush 20(%esp)\n\tpush 20(%esp)\n\tpush 20(%esp)\n\t"           \
        "call " #body "\n\tpop %ebx\n\tret $16");                                        \
    __builtin_unreachable();                                                             \
  }

// Every call of an imported function goes through the register. (The
// runtime header's _utime is an inline function that calls _utime32.)
#define _utime(path, times) _utime32(path, (struct __utimbuf32*)(times))
#define _beginthread(...) IMPORTED(_beginthread)(__VA_ARGS__)
#define _splitpath(...) IMPORTED(_splitpath)(__VA_ARGS__)
#define _stat32(...) IMPORTED(_stat32)(__VA_ARGS__)
#define _mktime64(...) IMPORTED(_mktime64)(__VA_ARGS__)
#define _unlink(...) IMPORTED(_unlink)(__VA_ARGS__)
#define _utime32(...) IMPORTED(_utime32)(__VA_ARGS__)
#define CoCreateInstance(...) IMPORTED(CoCreateInstance)(__VA_ARGS__)
#define CoInitialize(...) IMPORTED(CoInitialize)(__VA_ARGS__)
#define CoTaskMemFree(...) IMPORTED(CoTaskMemFree)(__VA_ARGS__)
#define CoUninitialize(...) IMPORTED(CoUninitialize)(__VA_ARGS__)
#define CreateDirectoryA(...) IMPORTED(CreateDirectoryA)(__VA_ARGS__)
#define CreateWindowExA(...) IMPORTED(CreateWindowExA)(__VA_ARGS__)
#define DefWindowProcA(...) IMPORTED(DefWindowProcA)(__VA_ARGS__)
#define DestroyWindow(...) IMPORTED(DestroyWindow)(__VA_ARGS__)
#define DialogBoxIndirectParamA(...) IMPORTED(DialogBoxIndirectParamA)(__VA_ARGS__)
#define DispatchMessageA(...) IMPORTED(DispatchMessageA)(__VA_ARGS__)
#define EnableWindow(...) IMPORTED(EnableWindow)(__VA_ARGS__)
#define EndDialog(...) IMPORTED(EndDialog)(__VA_ARGS__)
#define ExitProcess(...) IMPORTED(ExitProcess)(__VA_ARGS__)
#define fclose(...) IMPORTED(fclose)(__VA_ARGS__)
#define fgetc(...) IMPORTED(fgetc)(__VA_ARGS__)
#define fopen(...) IMPORTED(fopen)(__VA_ARGS__)
#define fread(...) IMPORTED(fread)(__VA_ARGS__)
#define free(...) IMPORTED(free)(__VA_ARGS__)
#define fseek(...) IMPORTED(fseek)(__VA_ARGS__)
#define ftell(...) IMPORTED(ftell)(__VA_ARGS__)
#define fwrite(...) IMPORTED(fwrite)(__VA_ARGS__)
#define GetCommandLineA(...) IMPORTED(GetCommandLineA)(__VA_ARGS__)
#define GetCurrentDirectoryA(...) IMPORTED(GetCurrentDirectoryA)(__VA_ARGS__)
#define GetCursorPos(...) IMPORTED(GetCursorPos)(__VA_ARGS__)
#define GetDC(...) IMPORTED(GetDC)(__VA_ARGS__)
#define GetDeviceCaps(...) IMPORTED(GetDeviceCaps)(__VA_ARGS__)
#define GetDlgItem(...) IMPORTED(GetDlgItem)(__VA_ARGS__)
#define GetMessageA(...) IMPORTED(GetMessageA)(__VA_ARGS__)
#define GetModuleFileNameA(...) IMPORTED(GetModuleFileNameA)(__VA_ARGS__)
#define GetModuleHandleA(...) IMPORTED(GetModuleHandleA)(__VA_ARGS__)
#define GetProcAddress(...) IMPORTED(GetProcAddress)(__VA_ARGS__)
#define GetStockObject(...) IMPORTED(GetStockObject)(__VA_ARGS__)
#define GetWindowsDirectoryA(...) IMPORTED(GetWindowsDirectoryA)(__VA_ARGS__)
#define GlobalMemoryStatus(...) IMPORTED(GlobalMemoryStatus)(__VA_ARGS__)
#define LoadCursorA(...) IMPORTED(LoadCursorA)(__VA_ARGS__)
#define LoadIconA(...) IMPORTED(LoadIconA)(__VA_ARGS__)
#define lstrcpynA(...) IMPORTED(lstrcpynA)(__VA_ARGS__)
#define malloc(...) IMPORTED(malloc)(__VA_ARGS__)
#define MapDialogRect(...) IMPORTED(MapDialogRect)(__VA_ARGS__)
#define memcmp(...) IMPORTED(memcmp)(__VA_ARGS__)
#define memcpy(...) IMPORTED(memcpy)(__VA_ARGS__)
#define memmove(...) IMPORTED(memmove)(__VA_ARGS__)
#define memset(...) IMPORTED(memset)(__VA_ARGS__)
#define MessageBoxA(...) IMPORTED(MessageBoxA)(__VA_ARGS__)
#define MultiByteToWideChar(...) IMPORTED(MultiByteToWideChar)(__VA_ARGS__)
#define PostMessageA(...) IMPORTED(PostMessageA)(__VA_ARGS__)
#define PostQuitMessage(...) IMPORTED(PostQuitMessage)(__VA_ARGS__)
#define RegCloseKey(...) IMPORTED(RegCloseKey)(__VA_ARGS__)
#define RegCreateKeyExA(...) IMPORTED(RegCreateKeyExA)(__VA_ARGS__)
#define RegDeleteKeyA(...) IMPORTED(RegDeleteKeyA)(__VA_ARGS__)
#define RegisterClassA(...) IMPORTED(RegisterClassA)(__VA_ARGS__)
#define RegOpenKeyExA(...) IMPORTED(RegOpenKeyExA)(__VA_ARGS__)
#define RegQueryValueExA(...) IMPORTED(RegQueryValueExA)(__VA_ARGS__)
#define RegSetValueExA(...) IMPORTED(RegSetValueExA)(__VA_ARGS__)
#define ReleaseDC(...) IMPORTED(ReleaseDC)(__VA_ARGS__)
#define SendMessageA(...) IMPORTED(SendMessageA)(__VA_ARGS__)
#define SetCurrentDirectoryA(...) IMPORTED(SetCurrentDirectoryA)(__VA_ARGS__)
#define SetDllDirectoryA(...) IMPORTED(SetDllDirectoryA)(__VA_ARGS__)
#define SetWindowPos(...) IMPORTED(SetWindowPos)(__VA_ARGS__)
#define SetWindowTextA(...) IMPORTED(SetWindowTextA)(__VA_ARGS__)
#define SHBrowseForFolderA(...) IMPORTED(SHBrowseForFolderA)(__VA_ARGS__)
#define SHChangeNotify(...) IMPORTED(SHChangeNotify)(__VA_ARGS__)
#define ShellExecuteA(...) IMPORTED(ShellExecuteA)(__VA_ARGS__)
#define SHGetPathFromIDListA(...) IMPORTED(SHGetPathFromIDListA)(__VA_ARGS__)
#define SHGetSpecialFolderPathA(...) IMPORTED(SHGetSpecialFolderPathA)(__VA_ARGS__)
#define ShowWindow(...) IMPORTED(ShowWindow)(__VA_ARGS__)
#define strcmp(...) IMPORTED(strcmp)(__VA_ARGS__)
#define strlen(...) IMPORTED(strlen)(__VA_ARGS__)
#define TranslateMessage(...) IMPORTED(TranslateMessage)(__VA_ARGS__)
#define wsprintfA(...) IMPORTED(wsprintfA)(__VA_ARGS__)
#endif
