// The size pre-scan, and the worker thread that walks the archive and
// extracts every member.
#pragma once
#include "../session/session.h"
#include "../session/window_messages.h"

// Walks every header from own_file's position (the archive's start) without
// extracting, sets totalSize and archive_end, and puts the stream back.
// False when the archive is not whole: the file ends inside a header, a
// header cannot be read, or a member's data would end beyond the file. Run
// at start-up, so that a download cut short writes nothing at all.
bool ScanArchive(SfxSession* session);

// A broken archive fails the run, with the message that asks for the
// download again (none when silent).
void ReportBrokenArchive(SfxSession* session);

// Thread procedure (for _beginthread); the argument is the session, its
// archive already scanned.
void __cdecl ExtractionWorker(void* session);
