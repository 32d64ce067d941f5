// Making sure the destination folder exists and is the current directory.
#pragma once
#include "../session/session.h"

// Makes `path` the current directory, creating every missing level first,
// and takes it, absolute, as the session's destination. Shows "cannot create
// the folder", sets `failed` and returns false when it cannot.
bool EnsureDestinationFolder(SfxSession* session, const char* path);
