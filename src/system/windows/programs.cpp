#include "system/programs.h"

#include <windows.h>
#include <shellapi.h>

#include <stdlib.h>

#include "system/sjis_names.h"
#include "wide_text.h"

// The command line as typed, not as the C runtime decoded it in the
// system's code page, which may lack characters of the names.
std::vector<std::string> ProgramArguments(int, char**) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> utf8;
  for (int i = 1; arguments && i < count; ++i) utf8.push_back(WideToUtf8(arguments[i]));
  LocalFree(arguments);
  return utf8;
}

bool InstallerText(const std::string& argument, std::string* text) { return Utf8ToShiftJis(argument, text); }

std::string ProgramFolder(const char*) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length;
  while ((length = GetModuleFileNameW(nullptr, &path[0], (DWORD)path.size())) == path.size())
    path.resize(2 * path.size());
  path.resize(length);
  const size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? "." : WideToUtf8(path.substr(0, separator));
}

namespace {

UINT consoleCodePage;

void RestoreConsole() { SetConsoleOutputCP(consoleCodePage); }

// One argument as the C runtime of the started program splits its command
// line again: in quotes, a backslash doubled before a quote or the end.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  return quoted.append(2 * backslashes, L'\\') + L"\"";
}

}  // namespace

// The console's code page belongs to the console, which outlives the
// program: it is given back as it was.
void WriteUtf8ToConsole() {
  consoleCodePage = GetConsoleOutputCP();
  if (!consoleCodePage || consoleCodePage == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
  atexit(RestoreConsole);
}

int RunProgram(const std::vector<std::string>& arguments) {
  std::wstring commandLine;
  for (const std::string& argument : arguments) {
    std::wstring wide;
    if (!Utf8ToWide(argument, &wide)) return PROGRAM_NOT_STARTED;
    commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(wide);
  }
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  const HANDLE nowhere = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                     OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = nowhere;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  fflush(stdout);
  PROCESS_INFORMATION process;
  // With no program named apart, the first word of the command line is
  // looked for as a program (.exe) in the usual places and on the PATH.
  const bool started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                      &process);
  CloseHandle(nowhere);
  if (!started) return PROGRAM_NOT_STARTED;
  DWORD status = 0;
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return (int)status;
}

std::string SigningWithoutOsslsigncode(const std::string& certificate, const std::string& output) {
  return "osslsigncode is not on the PATH. Make the installer without --sign, then sign it with signtool of the "
         "Windows SDK:\n  signtool sign /fd SHA256 /f " + certificate + " /p PASSWORD " + output;
}
