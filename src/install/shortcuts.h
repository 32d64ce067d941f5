// Shortcuts to the installed program and the post-install program, made
// after a successful extraction.
#pragma once
#include "../session/session.h"

// Makes each chosen shortcut: Start menu programs, desktop, Send To.
void CreateShortcuts(SfxSession* session);
// Makes one link file in the special folder `folder` (a CSIDL value).
void CreateShortcut(SfxSession* session, int folder);
// Starts the post-install program through the shell, without waiting.
void RunPostInstallProgram(SfxSession* session);

// The file-system path of a shell item list, which is then freed. False
// when the item has no such path.
bool PathFromIdList(LPITEMIDLIST list, char* path);
