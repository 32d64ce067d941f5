#include "system/sjis_names.h"

#include <windows.h>

#include <algorithm>

#include "wide_text.h"

namespace {

const UINT SHIFT_JIS = 932;

// Windows' code page 932 alone gives these a single byte (0x80, and 0xA0
// and 0xFD to 0xFF on some versions), where iconv's CP932, and so mksfx on
// Linux, has none: so that a name has a Shift-JIS form on both systems or
// on neither, they have none here either.
bool OnlyWindowsMaps(wchar_t c) { return c == 0x80 || (c >= 0xF8F0 && c <= 0xF8F3); }

bool ShiftJisToWide(const std::string& shiftJis, std::wstring* wide) {
  return CodePageToWide(SHIFT_JIS, shiftJis, wide) && std::none_of(wide->begin(), wide->end(), OnlyWindowsMaps);
}

// Without the code page's "best fit" (é as e, say); a character it has
// no form for at all fails too.
bool WideToShiftJis(const std::wstring& wide, std::string* shiftJis) {
  shiftJis->clear();
  if (wide.empty()) return true;
  BOOL approximated = FALSE;
  const int length = WideCharToMultiByte(SHIFT_JIS, WC_NO_BEST_FIT_CHARS, wide.data(), (int)wide.size(), nullptr, 0,
                                         nullptr, &approximated);
  if (length <= 0 || approximated) return false;
  shiftJis->resize(length);
  return WideCharToMultiByte(SHIFT_JIS, WC_NO_BEST_FIT_CHARS, wide.data(), (int)wide.size(), &(*shiftJis)[0],
                             length, nullptr, &approximated) == length &&
         !approximated;
}

}  // namespace

bool Utf8ToShiftJis(const std::string& utf8, std::string* shiftJis) {
  std::wstring wide, back;
  return Utf8ToWide(utf8, &wide) && WideToShiftJis(wide, shiftJis) && ShiftJisToWide(*shiftJis, &back) &&
         back == wide;
}

bool ShiftJisToUtf8(const std::string& shiftJis, std::string* utf8) {
  std::wstring wide;
  if (!ShiftJisToWide(shiftJis, &wide)) return false;
  *utf8 = WideToUtf8(wide);
  return true;
}
