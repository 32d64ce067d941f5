// Member names in the archive are Shift-JIS (code page 932), the names of
// the local files UTF-8. Linux converts with iconv's CP932, Windows with
// its own code page 932; on both, a name has a Shift-JIS form only when
// that form converts back to the same name (a character that the code page
// merely approximates has none).
#pragma once
#include <string>

// False when some character has no form in the target encoding (or the
// text is not valid in its own).
bool Utf8ToShiftJis(const std::string& utf8, std::string* shiftJis);
bool ShiftJisToUtf8(const std::string& shiftJis, std::string* utf8);
