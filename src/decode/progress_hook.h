// The one call the decode engine makes into the program around it. The
// program defines it (the extraction's progress counters); the engine only
// declares it here, so that it includes nothing above its own folder.
#pragma once
#include <stdint.h>

// `done` bytes of the current member have been produced: the progress bar
// moves when its whole percentage has changed. Returns the count at which
// to call again (above `done`: where the percentage can next change, or an
// abort is due a look), or 0 when the user has aborted.
uint32_t UpdateProgress(uint32_t done);
