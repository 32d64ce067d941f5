#include "config_block.h"
#include "paths.h"

const char kDefaultTitle[] = "Vorn SFX";

// Reads `count` bytes into `buffer`; false when the file ends first.
static bool ReadCountedText(SfxSession* session, int count, char* buffer) {
  return fread(buffer, 1, (size_t)count, session->own_file) == (size_t)count;
}

static bool ReadByte(SfxSession* session, unsigned char* value) {
  return ReadCountedText(session, 1, (char*)value);
}

// Reads a length byte and that many bytes into a new heap string, always
// terminated (a zero byte inside the text ends it early).
static bool ReadLengthAndText(SfxSession* session, char** text) {
  unsigned char length;
  if (!ReadByte(session, &length)) return false;
  free(*text);
  *text = (char*)malloc(length + 1u);
  if (!*text) return false;
  (*text)[length] = 0;
  return ReadCountedText(session, length, *text);
}

// The destination the block gives: the current directory when it names
// none; a relative one under \Program Files\ on the Windows drive or under
// the current directory; one with a drive as it is. Composed at its full
// length: a destination too long for a path is refused when the folder is
// made, never cut here.
static bool ComposeDestination(const char* raw, bool underProgramFiles, char** result) {
  char composed[MAX_PATH + 16 + 256] = {0};
  if (raw[0] && raw[1] != ':') {
    if (underProgramFiles) {
      GetWindowsDirectoryA(composed, MAX_PATH);
      composed[composed[1] == ':' ? 2 : 0] = 0;  // the drive, as in "C:"
      AppendText(composed, sizeof composed, "\\Program Files\\");
    } else if (GetCurrentDirectoryA(MAX_PATH, composed) < MAX_PATH) {
      AppendFolderSeparator(composed, sizeof composed);
    }
  } else if (!raw[0] && GetCurrentDirectoryA(MAX_PATH, composed) >= MAX_PATH) {
    composed[0] = 0;
  }
  AppendText(composed, sizeof composed, raw);
  return SetSessionString(result, composed, strlen(composed));
}

bool ReadSfxConfig(SfxSession* session) {
  unsigned char kind, programFiles = 0, options[3];
  char* blockDestination = 0;
  bool ok = ReadByte(session, &kind);
  if (ok && kind) {
    ok = ReadLengthAndText(session, &session->title) && ReadByte(session, &programFiles) &&
         ReadLengthAndText(session, &blockDestination) &&
         ReadLengthAndText(session, &session->program_name) &&
         ReadCountedText(session, 3, (char*)options) &&
         ReadLengthAndText(session, &session->post_install_program) &&
         ReadLengthAndText(session, &session->shortcut_name);
    if (ok && !session->command_line_mode) {
      session->start_menu_option = options[0];
      session->desktop_option = options[1];
      session->send_to_option = options[2];
    }
    session->installer_mode = ok;
  }
  if (ok && (!session->title || !session->title[0]))
    ok = SetSessionString(&session->title, kDefaultTitle, sizeof kDefaultTitle - 1);
  // The block's destination is taken unless the command line named one of
  // its own; a command line that names none falls back to it.
  if (ok && !session->destination)
    ok = ComposeDestination(blockDestination ? blockDestination : "", programFiles != 0, &session->destination);
  free(blockDestination);
  return ok;
}
