#!/bin/bash
# The exit code tells a script how the run of an installer ended: 0 when it
# extracted everything and installed, 1 when the user cancelled the options
# dialog or pressed Abort, 2 when a member was damaged. The installer's
# manifest asks for an administrator; the launcher starts it with
# CreateProcessA, which Wine, where every process runs elevated, allows.
. "$(dirname "$0")/lib.sh"
e2e_begin "exit codes: installed, cancelled, aborted, damaged"

cd "$E2E_WORK"
stored_member list -lh0- 1 Vorn.exe 3000 random 1 1500000000
stored_member list -lh0- 2 large.bin 24000000 random 2 1500000002
make_archive setup.lzh list
build_installer setup.lzh setup.exe --title Vorn --destination 'C:\Vorn' --program Vorn.exe
stored_member bad.list -lh0- 1 Vorn.exe 3000 random 1 1500000000 badcrc
make_archive bad.lzh bad.list
build_installer bad.lzh bad.exe --title Vorn --destination 'C:\Bad' --program Vorn.exe
setup=$(winpath "$E2E_WORK/setup.exe")

# Installed: unattended, into the quoted folder.
run_installer "$E2E_WORK" "\"$setup\" \"C:\\Installed\" /m"
expect_exit 0
expect_same expected/large.bin "$(cpath 'C:\Installed')/large.bin"

# Cancelled: the options dialog's Cancel.
start_installer "$E2E_WORK" "\"$setup\""
dialog=$(probe wait --class '#32770' --title Vorn --timeout 30000) || e2e_die "no options dialog"
click "$(probe_field "$dialog" '^child .* id=2 ' center)"
wait_installer
expect_exit 1
expect_absent "$(cpath 'C:\Vorn')"

# Aborted: Abort pressed while large.bin is extracted (the worker held so
# that the click lands in the middle of it).
start_installer "$E2E_WORK" "\"$setup\" \"C:\\Aborted\""
window=$(probe freeze --class VORNSFXCLASS --label large.bin --progress-min 30 --timeout 40000) ||
  e2e_die "never saw large.bin in progress"
button=$(probe_field "$window" '^child .* id=1017 ' center)
xdotool mousemove "${button%,*}" "${button#*,}" mousedown 1
probe wait --class VORNSFXCLASS --pushed 1017 --timeout 10000 >/dev/null || e2e_fail "Abort did not go down"
xdotool mouseup 1
probe wait --class VORNSFXCLASS --released 1017 --timeout 10000 >/dev/null || e2e_fail "Abort did not come up"
probe thaw --class VORNSFXCLASS >/dev/null || e2e_fail "the window was gone before the worker went on"
wait_installer
expect_exit 1
expect_absent "$(cpath 'C:\Aborted')/large.bin"

# Damaged: the member's CRC does not match; the box, then nothing installed.
start_installer "$E2E_WORK" "\"$(winpath "$E2E_WORK/bad.exe")\" /m"
expect_box "ファイル Vorn.exe が壊れています。"
wait_installer
expect_exit 2

e2e_end
