// The one place where the stub meets Windows and the C runtime.
//
// The stub is built for Windows with MinGW and talks to the system through
// the ANSI Win32 functions and msvcrt.dll. The portable core (command line,
// configuration block, header reader, extraction, decoders, registry
// composition) is also compiled natively on Linux for the unit and
// conformance tests and for the publisher's tools, and into mksfx.exe for
// 64-bit Windows (VORN_HOST). There the small set of Win32 and msvcrt
// functions it calls is declared here and supplied by
// tools/host/win32_host.cpp, which does the work on the system it runs on
// and records what a test needs to see (message boxes, shell
// notifications, the registry): mksfx.exe never shows a message box or
// touches the real registry, even on Windows.
#pragma once

#if defined(_WIN32) && !defined(VORN_HOST)

#include <stdint.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <io.h>
#include <direct.h>
#include <process.h>
#include <sys/stat.h>
#include <sys/utime.h>
#include <time.h>

// The runtime functions that the decoders call from up to three places are
// called straight through their import slot: a jump to it (imports.cpp)
// would cost more than the calls save. (The layers above the decoders call
// every imported function through a register; see imports.h.)
extern "C" {
__declspec(dllimport) size_t __cdecl fread(void*, size_t, size_t, FILE*);
__declspec(dllimport) size_t __cdecl fwrite(const void*, size_t, size_t, FILE*);
__declspec(dllimport) void* __cdecl malloc(size_t);
__declspec(dllimport) void __cdecl free(void*);
__declspec(dllimport) int __cdecl memcmp(const void*, const void*, size_t);
__declspec(dllimport) void* __cdecl memmove(void*, const void*, size_t);
}

#include "imports.h"

#else  // the core in a host program: tests and tools

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>
#include <time.h>

typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int32_t LONG;
typedef int BOOL;
typedef unsigned int UINT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t INT_PTR;
typedef void* HWND;
typedef void* HINSTANCE;
typedef void* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef const void* LPCVOID;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define WM_USER 0x0400
#define IDOK 1
#define MB_ICONERROR 0x10
#define MB_ICONWARNING 0x30
#define ERROR_SUCCESS 0
#define REG_SZ 1
#define REG_OPTION_NON_VOLATILE 0
#define KEY_READ 0x20019
#define KEY_ALL_ACCESS 0xF003F
#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002)
#define SHCNE_CREATE 0x00000002
#define SHCNE_MKDIR 0x00000008
#define SHCNE_ASSOCCHANGED 0x08000000
#define SHCNF_IDLIST 0x0000
#define SHCNF_PATHA 0x0001
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256
#define WINAPI
#define CALLBACK
#ifndef __cdecl
#define __cdecl
#endif

typedef struct {
  DWORD nLength;
  void* lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct {
  DWORD dwLength;
  DWORD dwMemoryLoad;
  size_t dwTotalPhys;
  size_t dwAvailPhys;
  size_t dwTotalPageFile;
  size_t dwAvailPageFile;
  size_t dwTotalVirtual;
  size_t dwAvailVirtual;
} MEMORYSTATUS;

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SHChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2);
BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security);
BOOL SetCurrentDirectoryA(LPCSTR path);
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);
void GlobalMemoryStatus(MEMORYSTATUS* status);
int lstrcmpA(LPCSTR a, LPCSTR b);
LPSTR lstrcpynA(LPSTR destination, LPCSTR source, int size);
LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result, DWORD* disposition);
LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegDeleteKeyA(HKEY root, LPCSTR subKey);
LONG RegCloseKey(HKEY key);

// The host's own, which splits the UTF-8 names of the host at '/' and '\\'
// (where the Windows C runtime would take bytes for Shift-JIS).
#define _splitpath HostSplitPath
void _splitpath(const char* path, char* drive, char* dir, char* name, char* ext);
#define wsprintfA sprintf

#ifdef _WIN32
// mksfx.exe: the names the core opens, makes and removes are UTF-8, as on
// Linux, and reach Windows through its wide-character calls
// (tools/host/windows_files.cpp). _mktime64 is the C runtime's.
#undef _stat
#define _stat HostStat
#define _unlink HostUnlink
#define _utime HostUtime
#define fopen(path, mode) HostOpenFile(path, mode)
struct HostStat {
  unsigned st_mode;
};
int HostStat(const char* path, struct HostStat* status);
int HostUnlink(const char* path);
int HostUtime(const char* path, struct _utimbuf* times);
FILE* HostOpenFile(const char* path, const char* mode);
#else
#define _S_IFMT S_IFMT
#define _S_IFDIR S_IFDIR
#define _stat stat
#define _unlink unlink
#define _utime utime
#define _utimbuf utimbuf
#define _mktime64 mktime
#endif

// The thread procedure `entry` runs `body` (imports.h; natively no more).
#define THREAD_ENTRY_WITH_IMPORT_BASE(entry, body) \
  static void body(void*);                          \
  void entry(void* argument) { body(argument); }

#endif
