// The installation after a successful extraction: the shortcuts to the
// installed program, the post-install program, then the registry step.
#pragma once
#include "../session/session.h"

// The installation steps, in this order: each chosen shortcut (installer
// mode only; Start menu programs, desktop, Send To), the post-install
// program when the block names one (started through the shell, without
// waiting), then the registry step (RegisterInstallation). Each step fails
// silently and the next one runs.
void CompleteInstallation(SfxSession* session);
