#include "install_values.h"
#include "../session/paths.h"
#include "../session/command_line.h"

// The main program path with its zero.
enum { MAIN_PATH_SIZE = 245 };
char installTexts[INSTALL_TEXT_END][REGISTRY_TEXT_SIZE];

// Per type, in table order: the icon digit, the letter of the backup value
// between "Old" and "Class", and the end of the ProgID behind "VornArchive"
// (at most four letters).
static const char kTypeRows[] =
    "1\0\0\0\0\0" "2ZZip\0" "3CCab\0" "4TTgz\0" "5ATar\0" "4GGzip" "4BTbz\0" "42Bz2\0" "6RRar\0" "777zip";

void ComposeAssociationNames(int type) {
  const char* row = kTypeRows + 6 * type;
  Text(ICON_DIGIT)[0] = row[0];
  wsprintfA(Text(BACKUP_NAME), "Old%.1sClass", row + 1);
  wsprintfA(Text(PROG_ID), "VornArchive%.4s", row + 2);
  wsprintfA(Text(EXTENSION), ".%s", ArchiveTypeWord(type));
}

bool ComposeInstallPaths(const SfxSession* session) {
  const char* program = session->program_name;
  const char* destination = session->destination;
  if (!program || !program[0] || !JoinFolderPath(Text(MAIN_PATH), MAIN_PATH_SIZE, destination, program)) return false;
  CopyText(Text(DESTINATION), REGISTRY_TEXT_SIZE, destination);
  JoinFolderPath(Text(FOLDER), REGISTRY_TEXT_SIZE, destination, "");
  return true;
}

// out = first, a backslash, second, ending; false when that is longer than
// MAX_PATH - 1 characters. `out` has room for the longest text the session
// can give (COMPOSE_BUFFER_SIZE).
static bool JoinWithBackslash(char* out, const char* first, const char* second, const char* ending) {
  return wsprintfA(out, "%s\\%s%s", first, second, ending) < MAX_PATH;
}

bool ComposeShortcutPath(const SfxSession* session, const char* folder, char* out) {
  char fileName[_MAX_FNAME];
  const char* name = session->shortcut_name;
  if (!name[0]) {
    _splitpath(session->program_name, 0, 0, fileName, 0);
    name = fileName;
  }
  return JoinWithBackslash(out, folder, name, ".lnk");
}

bool ComposePostInstallPath(const SfxSession* session, char* out) {
  return JoinWithBackslash(out, session->destination, session->post_install_program, "");
}
