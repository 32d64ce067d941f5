// The worker thread that walks the archive and extracts every member.
#pragma once
#include "../session/session.h"
#include "../session/window_messages.h"

// Thread procedure (for _beginthread); the argument is the session.
void __cdecl ExtractionWorker(void* session);

