#include "config_block.h"
#include "../archive/paths.h"

const char kDefaultTitle[] = "Vorn SFX";

bool ReadCountedText(SfxSession* session, int count, char* buffer) {
  for (int i = 0; i < count; ++i) {
    int c = fgetc(session->own_file);
    if (feof(session->own_file)) return false;
    buffer[i] = (char)c;
  }
  return true;
}

static bool ReadByte(SfxSession* session, unsigned char* value) {
  int c = fgetc(session->own_file);
  if (feof(session->own_file)) return false;
  *value = (unsigned char)c;
  return true;
}

// Reads a length byte and that many bytes into a new heap string (zero
// filled first, so a zero byte inside the text ends it early).
static bool ReadLengthAndText(SfxSession* session, char** text) {
  unsigned char length;
  if (!ReadByte(session, &length)) return false;
  char* buffer = (char*)calloc(length + 1u, 1);
  if (!buffer) return false;
  free(*text);
  *text = buffer;
  return ReadCountedText(session, length, buffer);
}

static bool SetCurrentDirectoryText(char** field) {
  char current[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
  if (length == 0 || length >= MAX_PATH) current[0] = 0;
  return SetSessionString(field, current, strlen(current));
}

// Places a relative destination under \Program Files\ on the Windows drive or
// under the current directory; a destination with a drive stays as it is.
// The result is a heap string of its full length: one too long for a path is
// refused later, when the folder is made, rather than cut here.
static bool ComposeDestination(const char* raw, bool underProgramFiles, char** result) {
  char drive[_MAX_DRIVE + 1] = {0};
  char base[MAX_PATH] = {0};
  _splitpath(raw, drive, 0, 0, 0);
  if (drive[0]) return SetSessionString(result, raw, strlen(raw));
  if (underProgramFiles) {
    char windows[MAX_PATH] = {0};
    UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length >= MAX_PATH) windows[0] = 0;
    _splitpath(windows, drive, 0, 0, 0);
    strcpy(base, drive);
    strcat(base, "\\Program Files\\");
  } else {
    DWORD length = GetCurrentDirectoryA(MAX_PATH, base);
    if (length == 0 || length >= MAX_PATH) base[0] = 0;
    AppendFolderSeparator(base, sizeof base);
  }
  size_t baseLength = strlen(base), rawLength = strlen(raw);
  char* composed = (char*)malloc(baseLength + rawLength + 1);
  if (!composed) return false;
  memcpy(composed, base, baseLength);
  memcpy(composed + baseLength, raw, rawLength + 1);
  free(*result);
  *result = composed;
  return true;
}

bool ReadSfxConfig(SfxSession* session) {
  unsigned char kind;
  if (!ReadByte(session, &kind)) return false;
  // The destination the block gives. It is taken unless the command line
  // named a destination of its own; a command line that names none falls
  // back to it.
  char* blockDestination = 0;
  bool ok = false;
  if (kind == 0) {
    ok = SetSessionString(&session->title, kDefaultTitle, sizeof kDefaultTitle - 1) &&
         SetCurrentDirectoryText(&blockDestination);
  } else {
    unsigned char programFiles, options[3];
    ok = ReadLengthAndText(session, &session->title) && ReadByte(session, &programFiles) &&
         ReadLengthAndText(session, &blockDestination);
    if (ok && !session->title[0])
      ok = SetSessionString(&session->title, kDefaultTitle, sizeof kDefaultTitle - 1);
    if (ok) {
      ok = blockDestination[0] ? ComposeDestination(blockDestination, programFiles != 0, &blockDestination)
                               : SetCurrentDirectoryText(&blockDestination);
    }
    ok = ok && ReadLengthAndText(session, &session->program_name) &&
         ReadByte(session, &options[0]) && ReadByte(session, &options[1]) &&
         ReadByte(session, &options[2]) &&
         ReadLengthAndText(session, &session->post_install_program) &&
         ReadLengthAndText(session, &session->shortcut_name);
    if (ok) {
      if (!session->command_line_mode) {
        session->start_menu_option = options[0];
        session->desktop_option = options[1];
        session->send_to_option = options[2];
      }
      session->installer_mode = true;
    }
  }
  if (ok && !session->destination) {
    free(session->destination);
    session->destination = blockDestination;
    blockDestination = 0;
  }
  free(blockDestination);
  return ok;
}
