/* install_probe: a post-install program for the end-to-end tests. It is
   started by the installer and records, into install_probe.txt beside
   itself, when it was started and what the installation had made by then:
   one line per item, tab-separated, times as 100 ns units since 1601 (UTC).
     started   TIME                     creation time of this process
     link      CSIDL  TIME|missing      the shortcut "Probe.lnk" in that folder
     registry  TIME                     last write of the uninstall key
   The registry line waits for the key, which the installer writes after it
   has started this program, as long as it takes: the test that reads the
   report sets the time limit. Built by cmake/e2e.cmake. */
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>

static unsigned long long Ticks(FILETIME time) {
  return ((unsigned long long)time.dwHighDateTime << 32) | time.dwLowDateTime;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR line, int show) {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  char report[MAX_PATH];
  GetModuleFileNameA(0, report, MAX_PATH);
  strcpy(strrchr(report, '\\') + 1, "install_probe.txt");
  FILE* out = fopen(report, "wb");
  if (!out) return 1;
  fprintf(out, "started\t%llu\n", Ticks(created));
  static const int folders[] = {CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY, CSIDL_SENDTO};
  for (int i = 0; i < 3; ++i) {
    char path[MAX_PATH];
    WIN32_FILE_ATTRIBUTE_DATA data;
    SHGetSpecialFolderPathA(0, path, folders[i], FALSE);
    strcat(path, "\\Probe.lnk");
    if (GetFileAttributesExA(path, GetFileExInfoStandard, &data))
      fprintf(out, "link\t%d\t%llu\n", folders[i], Ticks(data.ftLastWriteTime));
    else
      fprintf(out, "link\t%d\tmissing\n", folders[i]);
  }
  fflush(out);
  for (;;) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vorn", 0,
                      KEY_READ, &key) == ERROR_SUCCESS) {
      FILETIME written;
      RegQueryInfoKeyA(key, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, &written);
      RegCloseKey(key);
      fprintf(out, "registry\t%llu\n", Ticks(written));
      break;
    }
    Sleep(100);
  }
  fclose(out);
  return 0;
}
