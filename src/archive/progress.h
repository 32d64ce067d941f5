// Progress counters and the percentage shown by the progress bar.
#pragma once
#include "../platform.h"

extern uint32_t totalSize;      // sum of the members' original sizes
extern uint32_t completedSize;  // original sizes of the members already passed
extern uint32_t lastPercentage; // last position sent to the bar
extern HWND progressBar;

// Set by the window thread when the user aborts (Abort button or close box),
// never cleared; the extraction loops read it. It starts as 0, so that the
// stub needs no initialised writable data.
extern volatile LONG abortRequested;

enum { PBM_SETPOS_MESSAGE = WM_USER + 2 };

// Sends the bar its new position when the whole percentage of
// completedSize + done has changed.
void UpdateProgress(uint32_t done);

// Adds with saturation, so that totals beyond 4 GiB keep the bar full
// instead of wrapping it back.
uint32_t AddSaturated(uint32_t a, uint32_t b);

// The smallest count above `done` at which UpdateProgress could send
// anything: callers that produce bytes one by one look at the bar only there.
// (Inline, so that only builds that use it carry it.)
inline uint32_t NextProgressChange(uint32_t done) {
  if (totalSize == 0) return 0xFFFFFFFFu;
  if (totalSize <= 1000) return done + 1;  // a small archive: look every time
  // The percentage steps where completedSize + done reaches the next
  // multiple of the divisor.
  uint32_t step = totalSize / 100;
  uint32_t reached = AddSaturated(completedSize, done);
  uint32_t toNextStep = step - reached % step;
  return AddSaturated(done, toNextStep);
}

