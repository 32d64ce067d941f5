// regread: prints registry values exactly as the ANSI functions report them,
// byte count included (`wine reg query` shows neither).
//
//   regread KEY            every value of KEY, then its subkeys
//   regread KEY NAME       the one value NAME ("" for the default value)
//   regread -              queries from standard input, one a line in UTF-8:
//                          KEY alone, or KEY, a tab and NAME; each answer
//                          is the lines the query prints, then a line
//                          `query STATUS` with its exit code (one program
//                          for many queries: under emulation every start
//                          takes seconds)
//
// KEY starts with HKCR, HKCU, HKLM, HKU (or their long names), e.g.
// HKCR\.lzh. Output lines, tab-separated, names and text in UTF-8:
//   value  NAME  TYPE  BYTECOUNT  HEXBYTES  TEXT
//   key    NAME
// TYPE is REG_SZ, REG_DWORD, ... or the number; TEXT is the data read as
// ANSI text up to its first zero byte (empty for other types).
// Exit code 0, 1 when the key does not exist, 2 when the value does not.
#include "tool_common.h"

static HKEY RootKey(const char* name, const char** rest) {
  static const struct {
    const char* name;
    HKEY key;
  } roots[] = {{"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}, {"HKCR", HKEY_CLASSES_ROOT},
               {"HKEY_CURRENT_USER", HKEY_CURRENT_USER}, {"HKCU", HKEY_CURRENT_USER},
               {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKLM", HKEY_LOCAL_MACHINE},
               {"HKEY_USERS", HKEY_USERS}, {"HKU", HKEY_USERS}};
  for (size_t i = 0; i < sizeof roots / sizeof roots[0]; ++i) {
    size_t length = strlen(roots[i].name);
    if (_strnicmp(name, roots[i].name, length) == 0 && (name[length] == '\\' || name[length] == 0)) {
      *rest = name[length] ? name + length + 1 : name + length;
      return roots[i].key;
    }
  }
  return 0;
}

static const char* TypeName(DWORD type) {
  static char number[16];
  switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
  }
  sprintf(number, "%lu", type);
  return number;
}

static void PrintValue(const char* name, DWORD type, const unsigned char* data, DWORD count) {
  char* utf8Name = AnsiToUtf8(name, -1);
  char* hex = HexBytes(data, count);
  char* text;
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    const void* zero = memchr(data, 0, count);
    text = AnsiToUtf8((const char*)data, zero ? (int)((const unsigned char*)zero - data) : (int)count);
  } else {
    text = (char*)calloc(1, 1);
  }
  Out("value\t%s\t%s\t%lu\t%s\t%s\n", utf8Name, TypeName(type), count, hex, text);
  free(utf8Name);
  free(hex);
  free(text);
}

// Prints what KEY (and NAME, when given) holds; returns 0, 1 when the key
// does not exist, 2 when the value does not.
static int Query(const char* keyPath, const char* valueName) {
  const char* path;
  HKEY root = RootKey(keyPath, &path);
  if (!root) {
    Err("regread: unknown root in %s\n", keyPath);
    return 1;
  }
  HKEY key;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 1;
  static unsigned char data[65536];
  if (valueName) {
    DWORD type = 0, count = sizeof data;
    LONG status = RegQueryValueExA(key, valueName, 0, &type, data, &count);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return 2;
    PrintValue(valueName, type, data, count);
    return 0;
  }
  for (DWORD index = 0;; ++index) {
    char name[16384];
    DWORD nameLength = sizeof name, type = 0, count = sizeof data;
    if (RegEnumValueA(key, index, name, &nameLength, 0, &type, data, &count) != ERROR_SUCCESS) break;
    PrintValue(name, type, data, count);
  }
  for (DWORD index = 0;; ++index) {
    char name[1024];
    DWORD nameLength = sizeof name;
    if (RegEnumKeyExA(key, index, name, &nameLength, 0, 0, 0, 0) != ERROR_SUCCESS) break;
    char* utf8Name = AnsiToUtf8(name, -1);
    Out("key\t%s\n", utf8Name);
    free(utf8Name);
  }
  RegCloseKey(key);
  return 0;
}

static int QueryLines() {
  static char line[65536];
  while (fgets(line, sizeof line, stdin)) {
    line[strcspn(line, "\r\n")] = 0;
    char* ansi = ConvertText(line, -1, CP_UTF8, CP_ACP);
    char* tab = strchr(ansi, '\t');
    if (tab) *tab = 0;
    Out("query\t%d\n", Query(ansi, tab ? tab + 1 : 0));
    free(ansi);
  }
  return 0;
}

int main() {
  int argc;
  char** argv = AnsiArguments(&argc);
  if (argc == 2 && strcmp(argv[1], "-") == 0) return QueryLines();
  if (argc < 2 || argc > 3) {
    Err("usage: regread KEY [NAME] | regread -\n");
    return 2;
  }
  return Query(argv[1], argc == 3 ? argv[2] : 0);
}
