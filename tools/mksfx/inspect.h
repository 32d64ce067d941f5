// mksfx --list / --test / --extract: the installer's block and members,
// each member decoded and checked, or all of them written below `folder`.
// Each returns the exit status.
#pragma once
#include <string>

int ListInstaller(const std::string& path);
int TestInstaller(const std::string& path);
int ExtractInstaller(const std::string& path, const std::string& folder);
