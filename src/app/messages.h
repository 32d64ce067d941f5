// Messages between start-up and the progress window, and the Abort button;
// the worker's own messages to the window are in archive/worker.h.
#pragma once
#include "../archive/worker.h"

enum { WM_SFX_START = WM_USER };  // start-up asks the window to begin

// The progress window's children.
enum { ID_ABORT_BUTTON = 1017, ID_PROGRESS_FILL, ID_PROGRESS_FRAME, ID_NAME_LABEL };
