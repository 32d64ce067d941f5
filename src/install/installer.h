// The installation as start-up and the progress window call it: detection
// before the window exists, the options dialog on WM_SFX_START, and the
// completion step (shortcuts, post-install program, registry) after a
// successful extraction.
#pragma once
#include "associations.h"
#include "shortcuts.h"
#include "../ui/options_dialog.h"
