// Texts the installation composes from the session: the paths that the
// registry values and the shortcuts start with, the names of one row of the
// association table, the shortcut file and the post-install program. A path
// that would not fit is never cut short: the function says so and the
// caller leaves that step out.
#pragma once
#include <stddef.h>
#include "../session/session.h"

// Registry texts are composed in buffers of this size.
enum { REGISTRY_TEXT_SIZE = 256 };

// The texts of this installation, one buffer each. The registry script
// (registration.h) names PROG_ID to PREVIOUS_CLASS by these numbers.
enum InstallText {
  PROG_ID = 1,     // "VornArchive"...: the ProgID of the current row
  MAIN_PATH,       // folder + program_name: the main program path
  FOLDER,          // the destination and a backslash by the folder separator rule
  DESTINATION,     // the destination as held in the session
  ICON_DIGIT,      // the current row's icon index, one digit
  EXTENSION,       // ".lzh"...
  BACKUP_NAME,     // "OldClass"...
  PREVIOUS_CLASS,  // the class the extension pointed at before (read, never composed)
  // Where the registry script composes a row: the key (kept for the next
  // row), the value name, the data; and a value read back.
  ROW_KEY,
  ROW_NAME,
  ROW_DATA,
  ROW_READ,
  INSTALL_TEXT_END
};
// One spare buffer behind the last, as a text read into PREVIOUS_CLASS may
// fill it and have its zero behind.
extern char installTexts[INSTALL_TEXT_END][REGISTRY_TEXT_SIZE];
inline char* Text(unsigned which) { return installTexts[which - 1]; }

// Composes DESTINATION, FOLDER and MAIN_PATH. The main program path may
// take 244 characters: the longest value behind it (the command ending) has
// 8 more, the longest behind the folder ("VornDll.dll") 11, so every value
// fits its 256-byte buffer. False without a program name (a plain
// self-extractor, or a block that names none) or when the main program path
// would be longer.
bool ComposeInstallPaths(const SfxSession* session);

// Composes EXTENSION, PROG_ID, BACKUP_NAME and ICON_DIGIT of one row of the
// association table.
void ComposeAssociationNames(int type);

// Buffer size for the two paths below: they are composed at full length and
// refused when longer than MAX_PATH - 1 characters. Destination (at most
// MAX_PATH + 16 + 255 characters, as the configuration block composes it)
// and a name of at most 255 characters fit, as does a wsprintfA result.
enum { COMPOSE_BUFFER_SIZE = 1025 };

// The shortcut's file in `folder` (MAX_PATH bytes): folder, "\",
// shortcut_name (or the program's file name without folder and extension),
// ".lnk".
bool ComposeShortcutPath(const SfxSession* session, const char* folder, char* out);
// The post-install program: destination, "\", post_install_program.
bool ComposePostInstallPath(const SfxSession* session, char* out);

// A byte of the session's choices by its offset from start_menu_option:
// the three shortcut options, then the flags up to compress_menu.
inline unsigned char* SessionChoice(SfxSession* session, int offset) {
  return (unsigned char*)session + offsetof(SfxSession, start_menu_option) + offset;
}
#define CHOICE_OFFSET(field) (offsetof(SfxSession, field) - offsetof(SfxSession, start_menu_option))
