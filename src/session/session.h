// The one record of a run: who the program is, where it installs, what the
// user chose, and the windows and the stream on the program's own file.
#pragma once
#include "../platform.h"

// Size of the stub without its appended data; the configuration block and
// the archive start at this offset of the program's own file. The build pads
// the stub to exactly this size.
enum { SFX_STUB_SIZE = 17408 };

enum { ARCHIVE_TYPE_COUNT = 10 };

// The two path buffers come last, so that every other field lies within a
// short offset of the record's start.
struct SfxSession {
  HINSTANCE instance;
  HWND main_window;
  FILE* own_file;
  char* destination;
  char* title;
  char* program_name;
  char* post_install_program;
  char* shortcut_name;
  unsigned char start_menu_option;  // bit 0: offered in the dialog, bit 1: chosen
  unsigned char desktop_option;
  unsigned char send_to_option;
  bool installer_mode;
  bool failed;     // the run failed: a member, the archive, the destination, the worker or the dialog
  bool completed;  // everything was extracted, and the installation steps have run
  bool command_line_mode;
  bool associate[ARCHIVE_TYPE_COUNT];  // lzh zip cab tgz tar gz tbz bz2 rar 7z
  bool view_menu;
  bool compress_menu;
  char module_path[MAX_PATH];
  char output_path[MAX_PATH];
};

// The program's exit code: everything was extracted (and installed); the
// user cancelled the dialog or aborted the extraction; the run failed (start-up
// with data behind the stub, the destination, a member, the archive).
enum { RUN_COMPLETED = 0, RUN_CANCELLED = 1, RUN_FAILED = 2 };

// Bit 1 of a shortcut option byte: the shortcut is to be made.
enum { OPTION_CHOSEN = 2, OPTION_OFFERED = 1 };

void InitSession(SfxSession* session, HINSTANCE instance);
void CloseSession(SfxSession* session);

// Replaces a heap string of the session (freeing the old one) with a copy of
// `length` bytes of `text`, always terminated. Returns false if out of memory.
bool SetSessionString(char** field, const char* text, size_t length);
