#!/bin/bash
# The silent switch /s, as a deployment tool runs an installer: nothing is
# shown, nothing waits for anyone, the exit code tells. The display is
# watched for every window mapped during each run.
#  1. The control: the same installer and command line without /s maps its
#     progress window and starts the post-install program (install_probe),
#     so the watch does see windows and the probe does leave its report.
#  2. /s: exit 0, the files extracted, the shortcut and the uninstall entry
#     made; no window mapped, no post-install program.
#  3. /s with a damaged member: exit 2, no window (its message box would be
#     one), nothing installed.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/install_lib.sh"
e2e_begin "silent switch: no window, no post-install program, the exit code tells"

cd "$E2E_WORK"
cp "$E2E_TOOLS/install_probe.exe" "$E2E_WORK/install_probe.exe"
E2E_EXPECTED=$E2E_WORK/good
stored_member good.list -lh0- 1 Vorn.exe 3000 random 1 1577836800
printf 'member\t-lh0-\t1\tinstall_probe.exe\t%s\t1577836800\n' "$E2E_WORK/install_probe.exe" >>good.list
make_archive good.lzh good.list
E2E_EXPECTED=$E2E_WORK/bad
cp good.list bad.list
stored_member bad.list -lh0- 1 broken.bin 5000 random 2 1577836800 badcrc
make_archive bad.lzh bad.list
for kind in good bad; do
  build_installer $kind.lzh $kind.exe --title Vorn --program Vorn.exe --start-menu 1 \
    --shortcut-name Probe --post-install install_probe.exe
done
programs=$(shell_folder programs)
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorn'

# silent_run NAME EXE SWITCHES: runs EXE into C:\NAME with the switches,
# watching the display; E2E_WINDOWS is the count of windows mapped.
silent_run() {
  local name=$1 exe=$2 switches=$3
  watch_windows
  run_installer "$E2E_WORK" "\"$(winpath "$E2E_WORK/$exe")\" \"C:\\$name\" $switches"
  E2E_WINDOWS=$(windows_seen)
  DEST=$WINEPREFIX/drive_c/$name
}

# 1. The control. The probe writes its report beside itself once it runs,
# which may be after the installer has ended; how long that took after the
# end is how long a silent run's probe would have had.
silent_run Shown good.exe "/m"
expect_exit 0
[ "$E2E_WINDOWS" -ge 1 ] || e2e_fail "without /s: no window was seen, so the watch cannot tell"
started=$(date +%s)
wait_until 20 test -s "$DEST/install_probe.txt" ||
  e2e_fail "without /s: the post-install program did not run, so its absence would tell nothing"
probe_delay=$(($(date +%s) - started + 1))
rm -f "$programs/Probe.lnk"

# 2. Silent, complete.
silent_run Silent good.exe "/sm"
expect_exit 0
[ "$E2E_WINDOWS" = 0 ] || e2e_fail "/s: $E2E_WINDOWS window(s) mapped"
expect_same good/Vorn.exe "$DEST/Vorn.exe"
[ -f "$programs/Probe.lnk" ] || e2e_fail "/s: the shortcut was not made"
expect_key "$uninstall"
run_reg_checks
# A probe started would have written its report as soon as the control's
# did; twice that long without one is an answer.
sleep $((2 * probe_delay))
expect_absent "$DEST/install_probe.txt"

# 3. Silent, a damaged member: the box it would show is a window too.
delete_reg "$uninstall"
silent_run Damaged bad.exe "/S /m"
expect_exit 2
[ "$E2E_WINDOWS" = 0 ] || e2e_fail "/s with a damaged member: $E2E_WINDOWS window(s) mapped"
expect_absent "$DEST/install_probe.txt"
expect_no_key "$uninstall"
run_reg_checks

e2e_end
