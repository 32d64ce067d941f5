// launch: runs the command line held in the environment variable
// VORN_COMMAND_LINE exactly as written, waits for the program and returns
// its exit code. Wine re-quotes the arguments it passes on, so a command
// line with quotes of its own cannot be given any other way.
// VORN_WORKING_DIR, if set, is the program's current directory.
// The command line (as UTF-8), the child's process id and its full exit
// code go to stderr; with VORN_LAUNCH_HEX set, also the line's bytes in hex.
#include "tool_common.h"

// An environment variable in the ANSI code page. Read as UTF-16 and
// converted here: Wine's GetEnvironmentVariableA cuts a value short by one
// byte for every double-byte character in it.
static char* AnsiVariable(const WCHAR* name) {
  static WCHAR wide[32768];
  DWORD length = GetEnvironmentVariableW(name, wide, sizeof wide / sizeof wide[0]);
  if (length == 0 || length >= sizeof wide / sizeof wide[0]) return 0;
  return WideToCodePage(wide, CP_ACP);
}

int main() {
  char* line = AnsiVariable(L"VORN_COMMAND_LINE");
  if (!line) {
    Err("launch: VORN_COMMAND_LINE is not set\n");
    return 125;
  }
  const char* workingDir = AnsiVariable(L"VORN_WORKING_DIR");
  DWORD length = (DWORD)strlen(line);

  char* shown = AnsiToUtf8(line, -1);
  Err("launch: running %s\n", shown);
  free(shown);
  if (GetEnvironmentVariableA("VORN_LAUNCH_HEX", 0, 0)) {
    char* hex = HexBytes((const unsigned char*)line, length);
    Err("launch: bytes %s\n", hex);
    free(hex);
  }

  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(0, line, 0, 0, FALSE, 0, 0, workingDir, &startup, &process)) {
    Err("launch: CreateProcessA failed with error %lu\n", GetLastError());
    return 126;
  }
  Err("launch: started process %lu\n", process.dwProcessId);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  Err("launch: exit code %lu (0x%lx)\n", code, code);
  // Wine hands on only the low byte; anything above 254 becomes 255.
  return code > 254 ? 255 : (int)code;
}
