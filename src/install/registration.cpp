#include "registration.h"

// The registry names by their script bytes, from S_CLSID_KEY on.
static const unsigned char kNameOffsets[] = {CLSID_KEY_AT,    INPROC_SERVER_KEY_AT, CLSID_AT,
                                             HANDLER_TAIL_AT, VORN_DLL_AT,          OUTPUT_KEY_AT, COMMAND_AT};
enum { FIRST_NAME = 9, KEEP = 16, UP = 17 };

// Expands one text of a row into `out` (which holds the previous row's
// text), followed by four zero bytes; returns the byte behind its zero.
static const char* ExpandText(const char* text, char* out) {
  for (;;) {
    unsigned c = (unsigned char)*text++;
    if (c > UP) {
      *out++ = (char)c;
    } else if (c >= KEEP) {
      while (*out) ++out;
      if (c == UP) {
        while (*--out != '\\') {
        }
        *out = 0;
      }
    } else if (c) {
      const char* part = c < FIRST_NAME ? Text(c) : kRegistryNames + kNameOffsets[c - FIRST_NAME];
      while ((*out = *part++) != 0) ++out;
    } else {
      break;
    }
  }
  // Four zero bytes: the text's own and three more for the 8 bytes of "Open".
  typedef uint32_t __attribute__((may_alias, aligned(1))) FourBytes;
  *(FourBytes*)out = 0;
  return text;
}

bool ReadClassKey(const char* name, REGSAM access, char* text) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, name, 0, access, &key) != ERROR_SUCCESS) return false;
  if (text) {
    DWORD size = REGISTRY_TEXT_SIZE;
    if (RegQueryValueExA(key, 0, 0, 0, (BYTE*)text, &size) != ERROR_SUCCESS) size = 0;
    text[size] = 0;
  }
  RegCloseKey(key);
  return true;
}

// True when `text` is exactly "View".
static bool IsView(const char* text) {
  typedef uint32_t __attribute__((may_alias, aligned(1))) FourBytes;
  return *(const FourBytes*)text == ('V' | 'i' << 8 | 'e' << 16 | (uint32_t)'w' << 24) && !text[4];
}

void RunRegistryScript(const char* script, unsigned conditions) {
  // The key (kept for the next row), the value name, the data and room to
  // read a value.
  char *key = Text(ROW_KEY), *name = Text(ROW_NAME), *data = Text(ROW_DATA), *read = Text(ROW_READ);
  for (;;) {
    unsigned how = (unsigned char)*script++;
    if (how == SCRIPT_END) return;
    script = ExpandText(ExpandText(ExpandText(script, key), name), data);
    if (how & IF_ANY & ~conditions) continue;
    if ((how & DELETE_KEY) == DELETE_KEY) {
      RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
      continue;
    }
    HKEY opened;
    if (RegCreateKeyExA((HKEY)(uintptr_t)(0x80000000u + (how & 3)), key, 0, (LPSTR) "", REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, 0, &opened, 0) != ERROR_SUCCESS)
      continue;
    DWORD size = (DWORD)strlen(data) + 1;
    // The system counts a zero that directly follows the bytes of a text
    // value into it; a text stored without its zero is therefore followed
    // by a blank.
    if (how & NO_ZERO) data[--size] = ' ';
    if (how & OPEN_VERB) size = ReadClassKey(key, KEY_READ, read) && IsView(read) ? 0 : 8;
    if (size) RegSetValueExA(opened, name, 0, REG_SZ, (const BYTE*)data, size);
    RegCloseKey(opened);
  }
}
