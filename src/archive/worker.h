// The worker thread that walks the archive and extracts every member.
#pragma once
#include "../session/session.h"

// Thread procedure (for _beginthread); the argument is the session.
void __cdecl ExtractionWorker(void* session);

// Sum of the original sizes of the members from the stream's position on;
// the position is restored.
uint32_t SumOriginalSizes(SfxSession* session);
