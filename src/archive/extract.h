// Writing one member to disk: folders, stored copy or decoder, CRC check,
// file times.
#pragma once
#include "header_reader.h"

// True: the member was written and checked, is a folder that now exists, or
// was skipped for an unknown method. False: it could not be written, failed
// its check, or the extraction was aborted.
bool ExtractMember(SfxSession* session, LzhEntry* entry);

FILE* OpenOutputFile(SfxSession* session, const char* path);

// Writes the member's bytes to `output`; *crc receives their CRC-16. False
// when the member could not be decoded at all (no memory).
bool WriteMemberData(SfxSession* session, FILE* output, int32_t originalSize, int32_t packedSize,
                     const char* path, int methodIndex, uint16_t* crc);

// Copies `length` stored bytes from own_file to `output`; returns the count
// copied, 0 when aborted.
int32_t CopyStored(SfxSession* session, FILE* output, int32_t length);
