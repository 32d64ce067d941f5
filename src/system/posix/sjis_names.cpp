#include "system/sjis_names.h"

#include <iconv.h>

namespace {

bool Convert(const char* to, const char* from, const std::string& text, std::string* result) {
  iconv_t converter = iconv_open(to, from);
  if (converter == (iconv_t)-1) return false;
  std::string out(text.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size(), outLeft = out.size();
  char* next = &out[0];
  const bool converted = iconv(converter, &in, &inLeft, &next, &outLeft) != (size_t)-1 && inLeft == 0;
  iconv_close(converter);
  if (!converted) return false;
  out.resize(out.size() - outLeft);
  *result = out;
  return true;
}

}  // namespace

bool Utf8ToShiftJis(const std::string& utf8, std::string* shiftJis) {
  std::string back;
  return Convert("CP932", "UTF-8", utf8, shiftJis) && ShiftJisToUtf8(*shiftJis, &back) && back == utf8;
}

bool ShiftJisToUtf8(const std::string& shiftJis, std::string* utf8) {
  return Convert("UTF-8", "CP932", shiftJis, utf8);
}
