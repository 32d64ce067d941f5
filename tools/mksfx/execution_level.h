// The execution level that the stub's manifest asks Windows for.
#pragma once
#include <string>

// Writes `level` ("asInvoker", "requireAdministrator") over the level of
// the manifest in `stub`, keeping its length: the manifest leaves blanks
// behind the level for the longer name. False, and `stub` unchanged, when
// the stub has no such level or the new one does not fit.
bool SetExecutionLevel(std::string* stub, const std::string& level);
