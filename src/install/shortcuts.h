// Shortcuts to the installed program and the post-install program, made
// after a successful extraction.
#pragma once
#include "../session/session.h"

// The completion step after a successful extraction, in this order: each
// chosen shortcut (installer mode only; Start menu programs, desktop, Send
// To), the post-install program when the block names one (started through
// the shell, without waiting), then the registry step (RegisterInstallation).
void CompleteInstallation(SfxSession* session);
