// Progress counters and the percentage shown by the progress bar.
#pragma once
#include "../platform.h"
#include "../decode/progress_hook.h"  // UpdateProgress
#include "../session/window_messages.h"

extern uint32_t totalSize;      // sum of the members' original sizes
extern uint32_t completedSize;  // original sizes of the members already passed
extern uint32_t lastPercentage; // last position sent to the bar
extern HWND progressWindow;    // takes PBM_SETPOS_MESSAGE; set once at start-up

// Set by the window thread when the user aborts (Abort button or close box),
// never cleared; the extraction loops read it. It starts as 0, so that the
// stub needs no initialised writable data.
extern volatile LONG abortRequested;

// Adds with saturation, so that totals beyond 4 GiB keep the bar full
// instead of wrapping it back.
uint32_t AddSaturated(uint32_t a, uint32_t b);
