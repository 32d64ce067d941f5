// mksfx --list / --test / --extract: the installer's block and members,
// each member decoded and checked, or all of them written below `folder`.
// Each returns the exit status.
#pragma once
#include <string>

int ListInstaller(const std::string& path);
int TestInstaller(const std::string& path);
int ExtractInstaller(const std::string& path, const std::string& folder);

// An LZH archive given as the source of an installer is walked as --list
// walks it: every header must parse and pass its checks, and every member's
// data must be there; mksfx fails otherwise. True when the walk ended at
// the end of the file rather than at the end-of-archive byte: the byte must
// be added, so that the stub's walk stops there and never runs into a
// signature.
bool LacksEndByte(const std::string& path);
