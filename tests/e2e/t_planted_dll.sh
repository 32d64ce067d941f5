#!/bin/bash
# A uxtheme.dll planted beside the installer (as in a Downloads folder),
# with Wine told to prefer a native uxtheme to its own: the stub never
# loads it, and extracts all the same, with its progress bar moving. The
# stub does load uxtheme.dll after start-up (the window system asks for it
# when the first window is made), from the system folder only; two
# controls show that the planted copy was there to be taken: the stub's
# main thread loads Wine's own uxtheme.dll, and a program in the same
# folder that loads uxtheme.dll without restricting the DLL search gets
# the planted one.
. "$(dirname "$0")/lib.sh"
e2e_begin "a DLL planted beside the installer is not loaded"

cd "$E2E_WORK"
mkdir tree downloads dest
make_data tree/large.txt 8000000 text 1
make_data tree/small.bin 3000 random 2
build_installer tree downloads/setup.exe --plain --method lh5
cp "$E2E_TOOLS/planted/uxtheme.dll" "$E2E_TOOLS/planted/load_dll.exe" downloads/
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;uxtheme=n,b"
marker=$WINEPREFIX/drive_c/planted-dll-was-loaded

# Wine says which DLL each thread loads from where.
WINEDEBUG=+loaddll start_installer dest "\"$(winpath "$E2E_WORK/downloads/setup.exe")\""
if probe freeze --class VORNSFXCLASS --label large.txt --progress-min 10 --timeout 40000 >/dev/null; then
  probe thaw --class VORNSFXCLASS >/dev/null || e2e_fail "the window went away while held"
else
  e2e_fail "never saw the progress bar move past 10 % on large.txt"
fi
wait_installer
expect_exit 0
expect_same tree/large.txt dest/large.txt
expect_same tree/small.bin dest/small.bin
[ ! -e "$marker" ] || e2e_fail "the planted uxtheme.dll was loaded"
stub=$(grep -a -m 1 'Loaded L".*downloads\\\\setup\.exe" at .*: native' "$E2E_RUN_LOG" | cut -d: -f1)
uxtheme=$(grep -a "^$stub:trace:loaddll:.*Loaded L\".*uxtheme\.dll\"" "$E2E_RUN_LOG" | sed 's/.*Loaded L"\([^"]*\)".*/\1/')
[ "$uxtheme" = 'C:\\windows\\system32\\uxtheme.dll' ] ||
  e2e_fail "the stub's main thread loaded uxtheme.dll from \"$uxtheme\", not from the system folder alone"

# The control comes after the stub, so that the stub is the test's first
# Wine program as in the other tests: under emulation, started just after
# another one, its first window once waited in vain for Wine's desktop.
careless=$(wine downloads/load_dll.exe uxtheme.dll 2>/dev/null | tr -d '\r') || true
[ "$careless" = "$(winpath "$E2E_WORK/downloads/uxtheme.dll")" ] && [ -e "$marker" ] ||
  e2e_fail "a program beside the planted uxtheme.dll loaded \"$careless\", not the planted copy"

e2e_end
