#!/bin/bash
# A member whose name would put a file outside the destination folder (a ".."
# component, a drive letter, a leading separator left after the one leading
# '/' that is dropped, a UNC path, a path on another drive) is refused with
# the "ファイル %s を展開できません。" box and ends the run; nothing is written
# outside the destination. A name with just one leading '/' is fine.
. "$(dirname "$0")/lib.sh"
e2e_begin "member names that would leave the destination folder"

cd "$E2E_WORK"
E2E_EXPECTED=$E2E_WORK/members
stored_member first.list -lh0- 0 first.txt 1000 text 1 1500000000
stored_member after.list -lh0- 2 after.txt 1000 text 2 1500000002
make_data evil.txt 100 text 3
mkdir outside
# The destinations lie on drive C: of the prefix, so that a path that escapes
# them still lands somewhere this test can look.
root=$WINEPREFIX/drive_c/out

# refused NUMBER LEVEL NAME SHOWN: the member NAME (as stored, at header level
# LEVEL) between two good ones; SHOWN is the path the box must name.
refused() {
  local number=$1 level=$2 name=$3 shown=$4 dest
  dest=$root/case$number/dest
  mkdir -p "$dest"
  printf 'member\t-lh0-\t%s\t%s\t%s\t1500000000\n' "$level" "$name" "$E2E_WORK/evil.txt" >bad$number.list
  cat first.list bad$number.list after.list >case$number.list
  make_archive case$number.lzh case$number.list
  build_installer case$number.lzh case$number.exe --plain
  start_installer "$dest" "\"$(winpath "$E2E_WORK/case$number.exe")\""
  expect_box "ファイル $shown を展開できません。"
  wait_installer
  expect_exit 2
  expect_same members/first.txt "$dest/first.txt"
  expect_absent "$dest/after.txt"
}

refused 1 0 ../evil1.txt ../evil1.txt
refused 2 2 sub/../../evil2.txt sub/../../evil2.txt
refused 3 1 'x/../../evil3.txt' 'x/../../evil3.txt'
refused 4 0 //evil4.txt /evil4.txt
refused 5 0 //host/share/evil5.txt /host/share/evil5.txt
refused 6 0 C:evil6.txt C:evil6.txt
refused 7 0 C:/evil7.txt C:/evil7.txt
refused 8 2 "Z:$E2E_WORK/outside/evil8.txt" "Z:$E2E_WORK/outside/evil8.txt"
refused 9 1 .../evil9.txt .../evil9.txt

# One leading '/' is dropped: the member lands inside the destination.
mkdir -p "$root/fine/dest"
E2E_EXPECTED=$E2E_WORK/fine
stored_member fine.list -lh0- 0 /top.txt 500 text 4 1500000004
stored_member fine.list -lh0- 2 /dir/sub.txt 500 text 5 1500000006
make_archive fine.lzh fine.list
build_installer fine.lzh fine.exe --plain
run_installer "$root/fine/dest" "\"$(winpath "$E2E_WORK/fine.exe")\""
expect_exit 0
expect_tree fine "$root/fine/dest"

stray=$(find "$WINEPREFIX/drive_c" "$E2E_WORK" -name 'evil*.txt' | grep -v "^$E2E_WORK/evil.txt$" || true)
[ -z "$stray" ] || e2e_fail "written outside the destination: $(printf '%s' "$stray" | tr '\n' ' ')"

e2e_end
