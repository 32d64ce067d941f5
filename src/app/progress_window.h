// The progress window: its procedure drives the whole run.
#pragma once
#include "../session/session.h"

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

