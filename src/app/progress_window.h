// The progress window: its procedure drives the whole run.
#pragma once
#include "../session/session.h"
#include "../session/window_messages.h"

// The progress window's children: the Abort button (its WM_COMMAND id),
// the bar's fill and frame, and the member's name.
enum { ID_ABORT_BUTTON = 1017, ID_PROGRESS_FILL, ID_PROGRESS_FRAME, ID_NAME_LABEL };

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

