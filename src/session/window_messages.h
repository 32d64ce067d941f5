// Every message of the run's own protocol, in one place: start-up and the
// worker talk to the progress window only through these.
#pragma once
#include "../platform.h"

enum {
  WM_SFX_START = WM_USER,         // start-up asks the window to begin (sent once)
  WM_SFX_FILENAME = WM_USER + 1,  // worker: lParam is the member's name, valid during the call (sent)
  PBM_SETPOS_MESSAGE = WM_USER + 2,  // progress counters: wParam is the new percentage (sent)
  WM_SFX_DONE = WM_USER + 3,      // worker, its last act: it ended; `failed` tells how (posted)
  WM_SFX_ABORTED = WM_USER + 4,   // worker, its last act: it stopped after Abort (posted)
};
