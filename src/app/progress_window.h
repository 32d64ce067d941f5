// The progress window: its procedure drives the whole run.
#pragma once
#include "../session/session.h"
#include "../session/window_messages.h"

// The progress window's children: the Abort button (its WM_COMMAND id),
// the bar's fill and frame, and the member's name.
enum { ID_ABORT_BUTTON = 1017, ID_PROGRESS_FILL, ID_PROGRESS_FRAME, ID_NAME_LABEL };

// The screen's DPI (set at start-up, once the program has told Windows it
// lays its windows out for it), and a length in pixels at 96 DPI scaled
// to it.
extern int screenDpi;
int ScaledPixels(int pixels);

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

