// Process entry, start-up and the message loop.
#pragma once
#include "../session/session.h"

// Fills the session from the command line and the configuration block and
// builds the hidden progress window; false ends the program silently.
bool StartUp(SfxSession* session, const char* commandLineTail);
int RunMessageLoop();
