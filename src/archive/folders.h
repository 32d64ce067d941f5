// Folders below the destination and the shell's view of new files.
#pragma once
#include "../session/session.h"

// Makes sure the part of `path` ('/' separators) before its last '/' exists
// as a folder, creating missing levels. The outermost folder created is
// announced to the shell.
bool MakeParentDirectories(SfxSession* session, const char* path);

// Tells the shell about a new folder (path as given) or a new member file
// (path relative to the destination folder).
void NotifyShell(SfxSession* session, bool isFolder, const char* path);
