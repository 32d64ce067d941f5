#include "system/programs.h"

#include <limits.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

bool InstallerText(const std::string& argument, std::string* text) {
  *text = argument;
  return true;
}

static std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The program's own file, as the kernel knows it; where /proc is not
// mounted, the name it was started by.
std::string ProgramFolder(const char* argv0) {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return FolderOf(length > 0 ? std::string(path, length) : argv0);
}

void WriteUtf8ToConsole() {}

int RunProgram(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    if (!freopen("/dev/null", "w", stdout)) _exit(127);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return PROGRAM_NOT_STARTED;
  // The shell's status for a command it cannot find or start.
  return WEXITSTATUS(status) == 127 ? PROGRAM_NOT_STARTED : WEXITSTATUS(status);
}

std::string SigningWithoutOsslsigncode(const std::string&, const std::string&) {
  return "cannot run osslsigncode (Debian package osslsigncode)";
}
