// Messages between start-up, the worker thread and the progress window.
#pragma once
#include "../platform.h"

enum {
  WM_SFX_START = WM_USER,         // start-up asks the window to begin
  WM_SFX_FILENAME = WM_USER + 1,  // lParam: the member's name, valid during the call
  WM_SFX_DONE = WM_USER + 3,      // the worker ended; `failed` tells how
  WM_SFX_ABORTED = WM_USER + 4,   // the worker stopped after Abort
};

enum { ID_ABORT_BUTTON = 1017 };
