#include "install_values.h"
#include "../archive/paths.h"
#include "../session/command_line.h"

// Per type, in table order: the end of the ProgID behind "VornArchive" and
// the letter of the backup value between "Old" and "Class".
static const char kProgIdEndings[ARCHIVE_TYPE_COUNT][5] = {
    "", "Zip", "Cab", "Tgz", "Tar", "Gzip", "Tbz", "Bz2", "Rar", "7zip"};
static const char kBackupLetters[] = "\0ZCTAGB2R7";

void ComposeAssociationNames(int type, AssociationNames* names) {
  wsprintfA(names->extension, ".%s", kArchiveTypeWords[type]);
  wsprintfA(names->prog_id, "VornArchive%s", kProgIdEndings[type]);
  wsprintfA(names->backup_name, "Old%.1sClass", kBackupLetters + type);
}

bool ComposeInstallPaths(const SfxSession* session, InstallPaths* paths) {
  const char* program = session->program_name;
  if (!program || !program[0] || strlen(session->destination) + strlen(program) > 243) return false;
  strcpy(paths->destination, session->destination);
  wsprintfA(paths->folder, NeedsFolderSeparator(paths->destination) ? "%s\\" : "%s", paths->destination);
  wsprintfA(paths->main_path, "%s%s", paths->folder, program);
  return true;
}

// out = first, a backslash, second, ending (MAX_PATH bytes); false when
// that does not fit.
static bool JoinWithBackslash(char* out, const char* first, const char* second, const char* ending) {
  if (strlen(first) + strlen(second) + strlen(ending) + 1 >= MAX_PATH) return false;
  wsprintfA(out, "%s\\%s%s", first, second, ending);
  return true;
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
