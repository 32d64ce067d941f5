// The registry script: every value the installation writes, as rows of one
// byte string that a small interpreter runs. A row is a flags byte (R_*)
// and three texts, each ending in a zero: the key, the value name ("" for
// the unnamed value) and the data. In a text, bytes 1 to 8 stand for the
// install texts PROG_ID to PREVIOUS_CLASS (install_values.h), bytes 9 to 15
// for registry names (S_*), and S_KEEP and S_UP continue the previous row's
// key. R_END ends a script.
#pragma once
#include "install_values.h"
#include "../session/registry_keys.h"

// Bytes of the texts that stand for registry names (registry_keys.h) ...
#define S_CLSID_KEY "\x09"
#define S_INPROC_SERVER_KEY "\x0A"
#define S_CLSID "\x0B"
#define S_HANDLER_TAIL "\x0C"
#define S_VORN_DLL "\x0D"
#define S_OUTPUT_KEY "\x0E"
#define S_COMMAND "\x0F"
// ... and for install texts.
#define S_PROG_ID "\x01"
#define S_MAIN_PATH "\x02"
#define S_FOLDER "\x03"
#define S_DESTINATION "\x04"
#define S_ICON_DIGIT "\x05"
#define S_EXTENSION "\x06"
#define S_BACKUP_NAME "\x07"
#define S_PREVIOUS_CLASS "\x08"
// In a key: the previous row's key goes on (S_KEEP), or goes on without
// its last part (S_UP, once per part).
#define S_KEEP "\x10"
#define S_UP "\x11"

// The flags of a row. The key lies under HKEY_CLASSES_ROOT unless
// ROOT_USER or ROOT_MACHINE says otherwise; the value is a REG_SZ of the
// text and its zero unless OPEN_VERB or NO_ZERO says otherwise. A row with
// IF_* bits is run only when the caller passes those conditions. A
// DELETE_KEY row names a key under HKEY_CLASSES_ROOT and no value, and
// deletes the key.
enum {
  ROOT_CLASSES = 0,
  ROOT_USER = 1,
  ROOT_MACHINE = 2,
  DELETE_KEY = 3,
  OPEN_VERB = 4,     // 8 bytes: the four letters and four zeros; left alone when the value reads "View"
  NO_ZERO = 8,       // the text without its zero
  IF_BACKUP = 16,    // when a foreign class is to be backed up
  IF_VIEW = 32,      // with the view option
  IF_LZH_ZIP = 64,   // for .lzh and .zip
  IF_ANY = IF_BACKUP | IF_VIEW | IF_LZH_ZIP,
  SCRIPT_END = 0x7F,
};
// ... as the row's first byte.
#define R_CLASSES "\x00"
#define R_USER "\x01"
#define R_MACHINE "\x02"
#define R_OPEN_VERB "\x04"
#define R_NO_ZERO "\x08"
#define R_USER_IF_BACKUP "\x11"
#define R_IF_VIEW "\x20"
#define R_NO_ZERO_IF_VIEW "\x28"
#define R_DELETE_IF_LZH_ZIP "\x43"
#define R_END "\x7F"
static_assert(R_OPEN_VERB[0] == OPEN_VERB && R_NO_ZERO[0] == NO_ZERO &&
                  R_USER_IF_BACKUP[0] == (ROOT_USER | IF_BACKUP) && R_IF_VIEW[0] == IF_VIEW &&
                  R_NO_ZERO_IF_VIEW[0] == (NO_ZERO | IF_VIEW) && R_DELETE_IF_LZH_ZIP[0] == (DELETE_KEY | IF_LZH_ZIP) &&
                  R_END[0] == SCRIPT_END,
              "row flags");

// Runs the rows of `script` up to its R_END: creates each key (with all
// access), sets the value and closes the key. A key that cannot be created
// gets nothing; no other result is examined.
void RunRegistryScript(const char* script, unsigned conditions);

// Opens a key under HKEY_CLASSES_ROOT with `access`; when it opens, reads
// its unnamed value into `text` (unless that is null; REGISTRY_TEXT_SIZE + 1
// bytes, always terminated, empty when there is none) and closes it.
bool ReadClassKey(const char* key, REGSAM access, char* text);
