// The controls of the options dialog, made when it opens.
#pragma once
#include "../platform.h"

// Makes the dialog's controls in tab order, placed in dialog units and in
// the dialog's font, as a dialog template would; false when one of them
// cannot be made.
bool CreateOptionsControls(HWND dialog);

// The system's control classes, also used for the progress window's.
extern const char kStaticClass[];
extern const char kButtonClass[];
