// Unattended installation: switches, a quoted destination and the words that
// name archive types, scanned once at start-up.
#pragma once
#include "session.h"

// The text behind the program's own name in a raw command line.
const char* CommandLineTail(const char* rawCommandLine);

// Applies the recognised items of the tail to a freshly initialised session.
void ParseCommandLine(SfxSession* session, const char* tail);

// The command-line word of an archive type ("lzh" ... "7z").
const char* ArchiveTypeWord(int type);
