#include "command_line.h"
#include <stddef.h>

// The words in archive-type order, one after the other.
static const char kArchiveTypeWords[] = "lzh\0zip\0cab\0tgz\0tar\0gz\0tbz\0bz2\0rar\0" "7z";

const char* ArchiveTypeWord(int type) {
  const char* word = kArchiveTypeWords;
  while (type-- > 0) word += strlen(word) + 1;
  return word;
}

const char* CommandLineTail(const char* p) {
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while ((unsigned char)*p > ' ') ++p;
  }
  while (*p && (unsigned char)*p <= ' ') ++p;
  return p;
}

static bool IsWhiteSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

static char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? (char)(c + ('a' - 'A')) : c;
}

// The switch letters and what each sets in the session: a flag becomes
// true, a shortcut option byte gets bit 1 (chosen). Each field is given as
// its offset times two plus one for an option byte; a table rather than a
// switch, which the compiler makes into a chain of tests twice as long.
static const char kSwitchLetters[] = "acdmst";
#define FLAG(field) (unsigned char)(offsetof(SfxSession, field) * 2)
#define OPTION(field) (unsigned char)(offsetof(SfxSession, field) * 2 + 1)
static const unsigned char kSwitchFields[] = {FLAG(compress_menu),     FLAG(view_menu),    OPTION(desktop_option),
                                              OPTION(start_menu_option), FLAG(silent), OPTION(send_to_option)};
static_assert(offsetof(SfxSession, compress_menu) < 128 && sizeof kSwitchFields == sizeof kSwitchLetters - 1,
              "a field within reach for every letter");
static_assert(OPTION_CHOSEN == 2, "an option byte's bit is the flag's value doubled");

static void ApplySwitchLetter(SfxSession* session, char letter) {
  const char lower = LowerAscii(letter);
  for (int i = 0; i < (int)sizeof kSwitchFields; ++i) {
    if (kSwitchLetters[i] != lower) continue;
    const unsigned field = kSwitchFields[i];
    ((unsigned char*)session)[field >> 1] |= (unsigned char)(1 + (field & 1));
    session->command_line_mode = true;
  }
}

// Compares the word of `length` bytes with each table word, ignoring case.
static void ApplyWord(SfxSession* session, const char* word, size_t length) {
  for (int type = 0; type < ARCHIVE_TYPE_COUNT; ++type) {
    const char* tableWord = ArchiveTypeWord(type);
    size_t i = 0;
    while (i < length && tableWord[i] && LowerAscii(word[i]) == tableWord[i]) ++i;
    if (i == length && !tableWord[i]) {
      session->associate[type] = true;
      session->command_line_mode = true;
      return;
    }
  }
}

// The scanner keeps where the current quoted text or word starts instead of
// growing a copy byte by byte; the result is the same text.
void ParseCommandLine(SfxSession* session, const char* p) {
  for (;;) {
    while (IsWhiteSpace(*p)) ++p;
    const char* start = p;
    if (!*p) break;
    if (*p == '/' || *p == '-') {
      // Every byte up to the next white space is a switch letter, a quote
      // or a second slash included.
      while (*++p && !IsWhiteSpace(*p)) ApplySwitchLetter(session, *p);
    } else if (*p == '"') {
      start = ++p;
      while (*p && *p != '"') ++p;
      if (!*p) break;  // a quote never closed is dropped
      if (SetSessionString(&session->destination, start, (size_t)(p - start)))
        session->command_line_mode = true;
      ++p;
    } else {
      while (*p && !IsWhiteSpace(*p)) ++p;
      ApplyWord(session, start, (size_t)(p - start));
    }
  }
  bool anyType = false;
  for (int type = 0; type < ARCHIVE_TYPE_COUNT; ++type) anyType |= session->associate[type];
  if (!anyType) session->view_menu = false;
}
