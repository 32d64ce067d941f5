// What mksfx prints, shared by making an installer and by reading one:
// failing cleanly, and showing the archive's Shift-JIS texts as UTF-8.
#pragma once
#include <string>

// Prints "mksfx: MESSAGE", removes the files given to RemoveOnFailure and
// ends the program with status 1.
[[noreturn]] void Fail(const std::string& message);
void RemoveOnFailure(const std::string& path);

// A Shift-JIS text in UTF-8, or its bytes as they are when it is not
// Shift-JIS.
std::string LocalText(const std::string& shiftJis);
