// File associations for the ten archive types: detection of those that
// already point at Vorn, and the registry step after a successful
// extraction.
#pragma once
#include "install_values.h"

// Marks the types already associated with Vorn (the extension's key under
// HKEY_CLASSES_ROOT opens with full access and its unnamed value is exactly
// the row's ProgID) and notes an installed shell extension. Only ever sets:
// a type that the command line named stays set.
void DetectAssociations(SfxSession* session);

// The registry step: uninstall entry, install directory, shell extension
// (when chosen), every chosen association, then the shell is told that
// associations changed. Without a program name, or when its paths would be
// too long, nothing is written.
void RegisterInstallation(SfxSession* session);
