// The one record of a run: who the program is, where it installs, what the
// user chose, and the windows and the stream on the program's own file.
//
// Where the rest of the run's state lives, and who touches it. There are
// two threads: the window thread (start-up, the progress window, the
// dialog, the installation) and the worker (archive/worker.cpp), which
// extracts; they share no lock.
// - This record: filled by start-up; while the worker runs it reads
//   own_file, archive_end, destination, title, silent and main_window and
//   writes output_path and failed, which the window thread reads only
//   after the worker's last message (session/window_messages.h lists every
//   message).
// - The progress counters, progressWindow and abortRequested
//   (archive/progress.h): the counters are the worker's alone;
//   progressWindow is set once at start-up; abortRequested is the one value
//   written by one thread (the window's, only ever to 1) while the other
//   reads it.
// - The decoders' state, decodeState (decode/decode_state.h): the worker's
//   alone, one member at a time; after a member the extraction
//   (archive/extract.cpp, and mksfx's --test) reads its memberCrc and
//   memberFailed.
// - The header being parsed (archive/header_reader.cpp): the worker's.
// - The window procedure's own two (app/progress_window.cpp): the session
//   it serves and whether the worker runs, the window thread's alone.
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
  bool silent;  // /s: nothing is shown and nothing waits for anyone
  bool associate[ARCHIVE_TYPE_COUNT];  // lzh zip cab tgz tar gz tbz bz2 rar 7z
  bool view_menu;
  bool compress_menu;
  long archive_end;  // the program file's length, found by the size pre-scan
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

// A message box owned by the progress window; a silent run shows none.
void ShowMessage(SfxSession* session, const char* text, const char* caption, UINT type);

// Replaces a heap string of the session (freeing the old one) with a copy of
// `length` bytes of `text`, always terminated. Returns false if out of memory.
bool SetSessionString(char** field, const char* text, size_t length);
