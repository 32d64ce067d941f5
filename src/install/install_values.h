// Texts the installation composes from the session: the names of one
// association row, the paths that the registry values and the shortcuts
// start with, the shortcut file and the post-install program. They are pure
// functions of the session. A path that would not fit is never cut short:
// the function says so and the caller leaves that step out.
#pragma once
#include <stddef.h>
#include "../session/session.h"

// Registry texts are composed in buffers of this size.
enum { REGISTRY_TEXT_SIZE = 256 };

// Names of one row of the association table.
struct AssociationNames {
  char extension[8];     // ".lzh"
  char prog_id[20];      // "VornArchive"
  char backup_name[12];  // "OldClass"
};
void ComposeAssociationNames(int type, AssociationNames* names);

// The paths that every value of the registry step and the shortcut target
// start with, one after the other.
struct InstallPaths {
  char destination[REGISTRY_TEXT_SIZE];  // as held in the session
  char folder[REGISTRY_TEXT_SIZE];       // destination and a backslash by the folder separator rule
  char main_path[REGISTRY_TEXT_SIZE];    // folder + program_name: the main program path
};
// The longest value behind these paths has 11 characters ("VornDll.dll");
// destination and program name together may take 243 characters, so that
// every value fits its 256-byte buffer. False (and nothing composed) without
// a program name (a plain self-extractor, or a block that names none) or
// when the two are longer.
bool ComposeInstallPaths(const SfxSession* session, InstallPaths* paths);

// The shortcut's file in `folder`: folder, "\", shortcut_name (or the
// program's file name without folder and extension), ".lnk"; MAX_PATH bytes.
bool ComposeShortcutPath(const SfxSession* session, const char* folder, char* out);
// The post-install program: destination, "\", post_install_program.
bool ComposePostInstallPath(const SfxSession* session, char* out);

// A byte of the session's choices by its offset from start_menu_option:
// the three shortcut options, then the flags up to compress_menu.
inline unsigned char* SessionChoice(SfxSession* session, int offset) {
  return (unsigned char*)session + offsetof(SfxSession, start_menu_option) + offset;
}
#define CHOICE_OFFSET(field) (offsetof(SfxSession, field) - offsetof(SfxSession, start_menu_option))
