#!/bin/bash
# A program file with nothing behind the stub, or with a configuration block
# that the file's end cuts short in any of its fields, ends at once with exit
# code 2 (the run failed): no window is ever mapped, no message box, nothing
# written.
. "$(dirname "$0")/lib.sh"
e2e_begin "bare stub and cut-off configuration blocks end silently"

cd "$E2E_WORK"
printf 'member\t-lh0-\t0\tfile.txt\t-\t1500000000\n' >archive.list
make_archive archive.lzh archive.list

# silent_run FILE WHAT: FILE must end without a window, a box or a file.
silent_run() {
  local file=$1 what=$2 dest windows
  dest=$E2E_WORK/dest-$(basename "$file" .exe)
  mkdir "$dest"
  watch_windows
  run_installer "$dest" "\"$(winpath "$file")\""
  windows=$(windows_seen)
  [ "$E2E_EXIT" = 2 ] || e2e_fail "$what: exit code $E2E_EXIT, expected 2"
  [ "$windows" = 0 ] || e2e_fail "$what: $windows window(s) appeared"
  expect_empty "$dest" "$what"
}

cp "$E2E_STUB" bare.exe
silent_run "$E2E_WORK/bare.exe" "bare stub of $(stat -c %s bare.exe) bytes"

# An installer block: kind 1, title "T" (2 bytes with its length), Program
# Files flag, destination "dest", program "p.exe", three option bytes, post-
# install program "run.exe", shortcut name "Name".
build_installer archive.lzh full.exe --title T --destination dest --program p.exe \
  --start-menu 3 --desktop 3 --send-to 3 --post-install run.exe --shortcut-name Name
# Offsets behind the stub where the file is cut: inside or right after
# every field (kind, title length, title, flag, destination length and text,
# program length and text, each option byte, post-install length and text,
# shortcut-name length and text).
for cut in 0 1 2 3 4 5 7 9 10 13 15 16 17 18 19 22 26 27 29; do
  head -c $((17408 + cut)) full.exe >cut$cut.exe
  silent_run "$E2E_WORK/cut$cut.exe" "block cut after $cut byte(s)"
done

# The same archive behind a complete plain block does show its window: the
# watch above would have seen one.
build_installer archive.lzh plain.exe --plain
mkdir dest-plain
watch_windows
run_installer dest-plain "\"$(winpath "$E2E_WORK/plain.exe")\""
windows=$(windows_seen)
expect_exit 0
[ "$windows" -ge 1 ] || e2e_fail "the complete installer's window was not seen"
[ -f dest-plain/file.txt ] || e2e_fail "the complete installer wrote nothing"

e2e_end
