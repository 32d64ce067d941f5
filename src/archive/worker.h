// The worker thread that walks the archive and extracts every member.
#pragma once
#include "../session/session.h"

// What the worker tells the progress window.
enum {
  WM_SFX_FILENAME = WM_USER + 1,  // lParam: the member's name, valid during the call
  WM_SFX_DONE = WM_USER + 3,      // the worker ended; `failed` tells how
  WM_SFX_ABORTED = WM_USER + 4,   // the worker stopped after Abort
};

// Thread procedure (for _beginthread); the argument is the session.
void __cdecl ExtractionWorker(void* session);

