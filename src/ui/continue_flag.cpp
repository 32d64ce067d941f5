#include "continue_flag.h"

volatile LONG continueFlag = 1;
