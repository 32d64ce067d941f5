// The installation as start-up and the progress window call it: detection
// before the window exists, the options dialog on WM_SFX_START, and the
// completion step (shortcuts, post-install program, registry) after a
// successful extraction.
//
// Until the installation fits into the stub next to the decoders, a stub
// built without it (CMake option VORN_STUB_INSTALLER off) gets these steps
// empty: it extracts like a plain self-extractor.
#pragma once
#include "../session/session.h"

#if defined(VORN_INSTALLER) || !defined(_WIN32)
#include "associations.h"
#include "shortcuts.h"
#include "../ui/options_dialog.h"
#else
inline void DetectAssociations(SfxSession*) {}
inline INT_PTR ShowOptionsDialog(SfxSession*) { return 0; }
inline void CompleteInstallation(SfxSession*) {}
#endif
