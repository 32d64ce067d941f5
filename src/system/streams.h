// Streams whose bytes stay with the program rather than go to a file of
// the publisher's: the members that the workers pack side by side, and the
// members that mksfx --test decodes.
#pragma once
#include <stdint.h>
#include <stdio.h>

#include <string>

// A stream to write, seek in and then take the bytes of: in memory on
// Linux; on Windows, whose C runtime has no memory streams, a temporary
// file that the system keeps in its cache and deletes when it is closed.
struct ScratchStream;
ScratchStream* OpenScratchStream();
FILE* ScratchFile(ScratchStream* stream);
// Closes the stream; `bytes` gets what was written up to its position.
// False when a write failed.
bool CloseScratchStream(ScratchStream* stream, std::string* bytes);

// A stream that counts the bytes written to it and keeps none.
struct CountingStream;
CountingStream* OpenCountingStream();
FILE* CountingFile(CountingStream* stream);
// Closes the stream and gives the count.
uint64_t CloseCountingStream(CountingStream* stream);
