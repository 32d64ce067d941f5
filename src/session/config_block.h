// The installer configuration block behind the stub: plain self-extractor or
// installer, title, destination, program names and shortcut options.
#pragma once
#include "session.h"

// Reads the block from own_file (standing at SFX_STUB_SIZE) into the session
// and leaves the stream at the archive. False: the block is cut short.
bool ReadSfxConfig(SfxSession* session);


// The title used when the block gives none; also the caption of the
// progress window until the run starts, and of the box for a broken archive.
extern const char kDefaultTitle[];
