// Writing one member to disk: folders, stored copy or decoder, CRC check,
// file times.
#pragma once
#include "header_reader.h"

// True: the member was written and checked, is a folder that now exists, or
// was skipped for an unknown method. False: it could not be written, failed
// its check, or the extraction was aborted.
bool ExtractMember(SfxSession* session, LzhEntry* entry);
