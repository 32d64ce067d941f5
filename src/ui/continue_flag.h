// The one value by which the user's Abort reaches the worker: 1 from the
// start, set to 0 by the window thread, never set back.
#pragma once
#include "../platform.h"

extern volatile LONG continueFlag;
