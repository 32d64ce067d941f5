// The publisher's tool as a program of its system: its command line, its
// own folder, the console it writes to, and the programs it runs.
#pragma once
#include <string>
#include <vector>

// The arguments after the program's name, in UTF-8 (Windows hands them
// over in UTF-16).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// An argument as a text of the installer, which the stub shows as
// Shift-JIS: on Linux the bytes given, as they are; on Windows the text
// typed, converted. False when it has no Shift-JIS form.
bool InstallerText(const std::string& argument, std::string* text);

// The folder that holds the running program.
std::string ProgramFolder(const char* argv0);

// Lets the console show the UTF-8 that the program writes (names of
// members and files); Linux terminals do already.
void WriteUtf8ToConsole();

// Runs a program found on the PATH, `arguments[0]`, with the rest as its
// arguments and its standard output thrown away; gives its exit status,
// or PROGRAM_NOT_STARTED.
enum { PROGRAM_NOT_STARTED = -1 };
int RunProgram(const std::vector<std::string>& arguments);

// What a publisher whose system cannot start osslsigncode does instead to
// get `output` signed with `certificate`.
std::string SigningWithoutOsslsigncode(const std::string& certificate, const std::string& output);
