#!/bin/bash
# Installations that must not happen: an installer cut off (a broken
# download: inside a member header, or at 70 % of its length, inside a
# member's data), and one extracted onto a full disk (a small tmpfs mapped
# as drive X:). Each fails with exit code 2, leaves no partial file and
# installs nothing: no uninstall entry, no InstallDir, no shortcut. A cut
# download writes nothing at all, not even the destination folder; it
# shows the box asking for the download again (E2E_INCOMPLETE), or with
# /s nothing (no window is mapped).
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/install_lib.sh"
e2e_begin "failed installations: cut off inside a header, disk full"

cd "$E2E_WORK"
mkdir tree
make_data tree/Vorn.exe 3000 random 1
make_data tree/big.bin 2000000 text 2
make_data tree/last.txt 100 text 3
build_installer tree setup.exe --title Vorn --program Vorn.exe --method lh5 \
  --start-menu 1 --shortcut-name Vorn
programs=$(shell_folder programs)

expect_nothing_installed() {
  expect_no_key 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorn'
  expect_no_value 'HKCU\Software\Tenbrel\Vorn\Output' InstallDir
  expect_absent "$programs/Vorn.lnk"
}

# 1. Cut off ten bytes into big.bin's header (-lh5-; Vorn.exe, before it,
# is stored), and at 70 % of the installer, inside big.bin's data; each
# run as a user runs it and silently.
header=$(grep -obUa -- '-lh5-' setup.exe | awk -F: '$1 > 17408 { print $1 - 2; exit }')
[ -n "$header" ] || e2e_die "no -lh5- header in setup.exe"
head -c $((header + 10)) setup.exe >cut-header.exe
head -c $(($(stat -c %s setup.exe) * 7 / 10)) setup.exe >cut-data.exe
[ "$(stat -c %s cut-data.exe)" -gt $((header + 100)) ] || e2e_die "70 % of setup.exe is not inside big.bin"
mkdir -p "$WINEPREFIX/drive_c/Cut"
for cut in header data; do
  for switches in "/m lzh" "/sm lzh"; do
    line="\"$(winpath "$E2E_WORK/cut-$cut.exe")\" \"C:\\Cut\\Vorn\" $switches"
    if [ "${switches#/s}" = "$switches" ]; then
      start_installer "$E2E_WORK" "$line"
      expect_box "$E2E_INCOMPLETE"
      wait_installer
    else
      watch_windows
      run_installer "$E2E_WORK" "$line"
      windows=$(windows_seen)
      [ "$windows" = 0 ] || e2e_fail "cut in the $cut, $switches: $windows window(s) mapped"
    fi
    expect_exit 2
    expect_empty "$WINEPREFIX/drive_c/Cut" "cut in the $cut, $switches"
    expect_nothing_installed
  done
done

# 2. A disk of 512 KiB: big.bin does not fit.
disk=$E2E_TMP/disk
mkdir "$disk"
if ! mount -t tmpfs -o size=512k vorn-e2e-full "$disk" 2>/dev/null; then
  printf '%s: SKIP the full disk: no tmpfs can be mounted here\n' "$E2E_NAME"
  e2e_end
fi
trap 'umount -l "$disk" 2>/dev/null; e2e_cleanup' EXIT
ln -s "$disk" "$WINEPREFIX/dosdevices/x:"
start_installer "$E2E_WORK" "\"$(winpath "$E2E_WORK/setup.exe")\" \"X:\\Vorn\" /m lzh"
expect_box "ファイル big.bin を展開できません。"
wait_installer
expect_exit 2
expect_same tree/Vorn.exe "$disk/Vorn/Vorn.exe"
expect_absent "$disk/Vorn/big.bin"
expect_absent "$disk/Vorn/last.txt"
expect_nothing_installed

e2e_end
