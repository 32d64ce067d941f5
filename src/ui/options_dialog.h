// The options dialog of an installer: destination, shortcuts, context-menu
// entries and associations, chosen before anything is extracted.
#pragma once
#include "../session/session.h"

// Shows the dialog modally over the hidden progress window.
// 0: go on with the chosen options; any other value ends the run (Cancel,
// a folder that cannot be made, a dialog that cannot be shown; the last two
// set `failed`).
INT_PTR ShowOptionsDialog(SfxSession* session);

// Its dialog procedure; the parameter is the session.
INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
