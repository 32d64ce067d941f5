#!/bin/bash
# A comctl32.dll planted beside the installer (as in a Downloads folder) is
# never loaded, even with Wine told to prefer a native comctl32 to its own;
# the installer extracts all the same, with its progress bar moving.
. "$(dirname "$0")/lib.sh"
e2e_begin "a DLL planted beside the installer is not loaded"

cd "$E2E_WORK"
mkdir tree downloads dest
make_data tree/large.txt 8000000 text 1
make_data tree/small.bin 3000 random 2
build_installer tree downloads/setup.exe --plain --method lh5
cp "$E2E_TOOLS/planted/comctl32.dll" downloads/
export WINEDLLOVERRIDES=comctl32=n,b
marker=$WINEPREFIX/drive_c/planted-dll-was-loaded

start_installer dest "\"$(winpath "$E2E_WORK/downloads/setup.exe")\""
if probe freeze --class VORNSFXCLASS --label large.txt --progress-min 10 --timeout 40000 >/dev/null; then
  probe thaw --class VORNSFXCLASS >/dev/null || e2e_fail "the window went away while held"
else
  e2e_fail "never saw the progress bar move past 10 % on large.txt"
fi
wait_installer
expect_exit 0
expect_same tree/large.txt dest/large.txt
expect_same tree/small.bin dest/small.bin
[ ! -e "$marker" ] || e2e_fail "the planted comctl32.dll was loaded"

e2e_end
