#!/bin/bash
# Shortcuts and the post-install program, read back through IShellLinkA:
#  1. all three shortcuts (Start-menu programs, desktop, Send To), made in
#     that order (as a watch of the three folders sees them appear), with
#     the main program as target and icon and the destination as working
#     folder, as the system reports the folder (the trailing backslash
#     typed is gone). The post-install program (install_probe) finds the
#     three links when it starts and is started before the registry step
#     writes the uninstall entry.
#  2. a shortcut name with a folder in it puts the links into that
#     sub-folder, which is created.
#  3. none when nothing is chosen, and none from a plain self-extractor even
#     with the switches; the plain self-extractor registers nothing either.
#  4. a relative destination: the link, the uninstall entry, InstallDir and
#     the Open command all hold the absolute folder.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/install_lib.sh"
e2e_begin "shortcuts and the post-install program"

cd "$E2E_WORK"
cp "$E2E_TOOLS/install_probe.exe" "$E2E_WORK/install_probe.exe"
list=$E2E_WORK/list
stored_member "$list" -lh0- 1 'bin/Vorn.exe' 3000 random 1 1577836800
printf 'member\t-lh0-\t1\tinstall_probe.exe\t%s\t1577836800\n' "$E2E_WORK/install_probe.exe" >>"$list"
make_archive setup.lzh "$list"
build_installer setup.lzh setup.exe --destination 'C:\Block' --program 'bin\Vorn.exe' \
  --start-menu 1 --desktop 1 --send-to 1 --shortcut-name Probe --post-install install_probe.exe
setup=$(winpath "$E2E_WORK/setup.exe")
programs=$(shell_folder programs)
desktop=$(shell_folder desktop)
sendto=$(shell_folder sendto)

# Every link file in the user's folders, one a line.
links() { find "$WINEPREFIX/drive_c/users" -name '*.lnk' | LC_ALL=C sort; }
links_before=$(links)

# expect_link FILE TARGET WORKDIR: the link's fields as IShellLinkA reads them.
expect_link() {
  local fields
  if ! fields=$(lnkread "$(winpath "$1")"); then
    e2e_fail "no readable link: $1"
    return 0
  fi
  printf '%s\n' "$fields" | grep -qxF "target=$2" || e2e_fail "$1: $(printf '%s' "$fields" | grep ^target=), expected $2"
  printf '%s\n' "$fields" | grep -qxF "icon=$2,0" || e2e_fail "$1: $(printf '%s' "$fields" | grep ^icon=), expected $2,0"
  printf '%s\n' "$fields" | grep -qxF "workdir=$3" || e2e_fail "$1: $(printf '%s' "$fields" | grep ^workdir=), expected $3"
  printf '%s\n' "$fields" | grep -qxF "arguments=" || e2e_fail "$1: arguments set"
}

# 1. All three, destination with a trailing backslash.
dest='C:\Apps\Vorn\'
watch_files "$programs" "$desktop" "$sendto"
run_installer "$E2E_WORK" "$(padded "\"$setup\" \"$dest\" /mdt")"
expect_exit 0
made=$(files_made | grep '/Probe\.lnk$' | sed 's|/Probe\.lnk$||') || true
[ "$made" = "$(printf '%s\n' "$programs" "$desktop" "$sendto")" ] ||
  e2e_fail "links not made in the order Start menu, desktop, Send To, but in: $(printf '%s' "$made" | sed 's|.*/||' | tr '\n' ' ')"
for folder in "$programs" "$desktop" "$sendto"; do
  expect_link "$folder/Probe.lnk" 'C:\Apps\Vorn\bin\Vorn.exe' 'C:\Apps\Vorn'
done

# The probe writes its report beside itself; it may still be waiting for
# the uninstall key when the installer has ended.
report=$(cpath "$dest")/install_probe.txt
wait_until 20 grep -q '^registry' "$report" 2>/dev/null || true
if [ ! -f "$report" ]; then
  e2e_fail "the post-install program did not run"
else
  started=$(sed -n 's/^started\t//p' "$report")
  registry=$(sed -n 's/^registry\t//p' "$report")
  for csidl in 2 16 9; do
    link=$(sed -n "s/^link\t$csidl\t//p" "$report")
    if [ "$link" = missing ] || [ -z "$link" ]; then
      e2e_fail "shortcut (CSIDL $csidl) not there when the post-install program started"
    elif [ "$link" -gt "$started" ]; then
      e2e_fail "shortcut (CSIDL $csidl) written after the post-install program started"
    fi
  done
  if [ -z "$registry" ]; then
    e2e_fail "the uninstall entry never came"
  elif [ "$registry" -lt "$started" ]; then
    e2e_fail "the registry was written before the post-install program started"
  fi
fi
expect_reg 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorn' UninstallString \
  "$(hexz 'C:\Apps\Vorn\bin\Vorn.exe /u')"

# 2. A shortcut name with a folder: the links go into a new sub-folder.
build_installer setup.lzh group.exe --destination 'C:\Block' --program 'bin\Vorn.exe' \
  --shortcut-name "$(sjis 'Vorn グループ\Vorn')"
run_installer "$E2E_WORK" "$(padded "\"$(winpath "$E2E_WORK/group.exe")\" \"C:\\Group\" /md")"
expect_exit 0
expect_link "$programs/Vorn グループ/Vorn.lnk" 'C:\Group\bin\Vorn.exe' 'C:\Group'
expect_link "$desktop/Vorn グループ/Vorn.lnk" 'C:\Group\bin\Vorn.exe' 'C:\Group'
expect_absent "$sendto/Vorn グループ"

# 3. Nothing chosen; a plain self-extractor with every switch.
links_made=$(links)
run_installer "$E2E_WORK" "\"$setup\" \"C:\\None\" lzh"
expect_exit 0
[ "$(links)" = "$links_made" ] || e2e_fail "links made although none was chosen"
delete_reg 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorn'
delete_reg 'HKCU\Software\Tenbrel'
build_installer setup.lzh plain.exe --plain
mkdir plain
run_installer "$E2E_WORK/plain" "\"$(winpath "$E2E_WORK/plain.exe")\" /mdtca lzh zip"
expect_exit 0
expect_same expected/bin/Vorn.exe plain/bin/Vorn.exe
[ "$(links)" = "$links_made" ] || e2e_fail "a plain self-extractor made links"
expect_no_key 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorn'
expect_no_key 'HKCU\Software\Tenbrel\Vorn\Output'
[ -n "$links_before" ] || true

# 4. A relative destination, run from C:\Work.
mkdir -p "$WINEPREFIX/drive_c/Work"
rm -f "$programs/Probe.lnk"
run_installer "$WINEPREFIX/drive_c/Work" "\"$setup\" \"rel\\Vorn\" /m lzh"
expect_exit 0
expect_link "$programs/Probe.lnk" 'C:\Work\rel\Vorn\bin\Vorn.exe' 'C:\Work\rel\Vorn'
expect_reg 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorn' UninstallString \
  "$(hexz 'C:\Work\rel\Vorn\bin\Vorn.exe /u')"
expect_reg 'HKCU\Software\Tenbrel\Vorn\Output' InstallDir "$(hexz 'C:\Work\rel\Vorn')"
expect_reg 'HKCR\VornArchive\Shell\Open\command' "" "$(hex 'C:\Work\rel\Vorn\bin\Vorn.exe /e "%1"')"

e2e_end
