/* load_dll NAME: loads the DLL NAME as any program does that leaves the
   DLL search as the system sets it up (the program's own folder first),
   and prints the file it was loaded from. Copied beside a planted DLL, it
   shows what the stub would load without restricting its DLL search.
   Built by cmake/e2e.cmake. */
#include <windows.h>
#include <stdio.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: load_dll NAME\n");
    return 2;
  }
  HMODULE dll = LoadLibraryA(argv[1]);
  if (!dll) {
    fprintf(stderr, "load_dll: %s not loaded (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  char path[MAX_PATH];
  GetModuleFileNameA(dll, path, MAX_PATH);
  printf("%s\n", path);
  return 0;
}
