// Writes to FILE the Shift-JIS form of every Unicode character that has
// one, and the UTF-8 form of every byte and byte pair that is Shift-JIS, as
// the system layer converts them: mksfx on Linux and mksfx.exe must accept
// the same names and show the same ones.
#include <stdio.h>

#include <string>

#include "system/sjis_names.h"

namespace {

std::string Utf8(unsigned c) {
  if (c < 0x80) return std::string(1, (char)c);
  if (c < 0x800) return {(char)(0xC0 | c >> 6), (char)(0x80 | (c & 63))};
  if (c < 0x10000) return {(char)(0xE0 | c >> 12), (char)(0x80 | (c >> 6 & 63)), (char)(0x80 | (c & 63))};
  return {(char)(0xF0 | c >> 18), (char)(0x80 | (c >> 12 & 63)), (char)(0x80 | (c >> 6 & 63)),
          (char)(0x80 | (c & 63))};
}

void PrintLine(FILE* out, const std::string& from, const std::string& to) {
  for (unsigned char c : from) fprintf(out, "%02X", c);
  fputc(' ', out);
  for (unsigned char c : to) fprintf(out, "%02X", c);
  fputc('\n', out);
}

}  // namespace

int main(int argc, char** argv) {
  FILE* out = argc == 2 ? fopen(argv[1], "wb") : nullptr;
  if (!out) return 2;
  std::string converted;
  for (unsigned c = 1; c < 0x110000; ++c)
    if ((c < 0xD800 || c > 0xDFFF) && Utf8ToShiftJis(Utf8(c), &converted)) PrintLine(out, Utf8(c), converted);
  for (unsigned first = 1; first < 256; ++first) {
    const std::string single(1, (char)first);
    if (ShiftJisToUtf8(single, &converted)) PrintLine(out, single, converted);
    for (unsigned second = 1; second < 256; ++second)
      if (ShiftJisToUtf8(single + (char)second, &converted)) PrintLine(out, single + (char)second, converted);
  }
  return fclose(out) == 0 ? 0 : 2;
}
