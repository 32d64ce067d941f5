#!/bin/bash
# Archives that are damaged or unusual behind a good first member: an
# unknown header, an archive cut off inside a header, and one cut off inside
# a member's data (whatever the member's kind: stored, a folder, an unknown
# method) give the box asking for the download again (E2E_INCOMPLETE)
# before anything is written, the good first member included; a compressed
# member whose header claims 1 GiB more than its data holds is damaged,
# found only as it is decoded (the member before it stays), and its decoder
# stops where the data does. Each of these runs fails: exit code 2. An
# archive without its closing zero byte and a member with an unknown method
# are fine (the unknown member is skipped): exit code 0.
. "$(dirname "$0")/lib.sh"
e2e_begin "damaged archives: unknown header, cut-off archives, unknown method"

cd "$E2E_WORK"
E2E_EXPECTED=$E2E_WORK/members
stored_member first.list -lh0- 1 first.txt 3000 text 1 1500000000
stored_member last.list -lh0- 0 last.txt 2000 text 2 1500000002
stored_member middle.list -lh0- 2 dir/middle.bin 6000 random 3 1500000004

# case NAME LISTS...: a plain self-extractor of the concatenated member
# lists. It is put together here (stub, one-byte block, archive as it is):
# mksfx refuses damaged archives and ends every archive with its zero byte.
case_installer() {
  local name=$1
  shift
  cat "$@" >"case-$name.list"
  make_archive "$name.lzh" "case-$name.list"
  { cat "$E2E_STUB" && printf '\0' && cat "$name.lzh"; } >"$name.exe"
  mkdir "dest-$name"
}

# A level-3 header (no such level), and a level-2 header whose size (10) is
# smaller than its fixed fields, both followed by a good member.
printf 'raw\t1600%s%s200300000000000000\n' 2d6c68302d "$(printf '00%.0s' $(seq 12))" >level3.list
printf 'raw\t0a00%s%s2002000000000000\n' 2d6c68302d "$(printf '00%.0s' $(seq 12))" >short2.list
for bad in level3 short2; do
  case_installer "$bad" first.list "$bad.list" last.list
  start_installer "dest-$bad" "\"$(winpath "$E2E_WORK/$bad.exe")\""
  expect_box "$E2E_INCOMPLETE" "Vorn SFX"
  wait_installer
  expect_exit 2
  expect_empty "dest-$bad" "$bad"
done

# Cut off inside the second member's header: nothing is written.
case_installer cuthead first.list middle.list
make_archive first-only.lzh first.list
first_size=$(($(stat -c %s first-only.lzh) - 1))
head -c $((17408 + 1 + first_size + 12)) cuthead.exe >cuthead-cut.exe
start_installer dest-cuthead "\"$(winpath "$E2E_WORK/cuthead-cut.exe")\""
expect_box "$E2E_INCOMPLETE" "Vorn SFX"
wait_installer
expect_exit 2
expect_empty dest-cuthead "cut header"

# Cut off inside the second member's data, be it stored, a folder or of an
# method this program does not know: the walk would seek past the end of
# the file, and its end would read as the end of the archive. Nothing is
# written.
for method in -lh0- -lhd- -xyz-; do
  printf 'member\t%s\t2\tdir/middle.bin\t%s\t1500000004\n' "$method" "$E2E_WORK/members/dir/middle.bin" >cut$method.list
  case_installer "cutdata$method" first.list "cut$method.list"
  head -c $(($(stat -c %s "cutdata$method.exe") - 1 - 1000)) "cutdata$method.exe" >"cutdata$method-cut.exe"
  start_installer "dest-cutdata$method" "\"$(winpath "$E2E_WORK/cutdata$method-cut.exe")\""
  expect_box "$E2E_INCOMPLETE" "Vorn SFX"
  wait_installer
  expect_exit 2
  expect_empty "dest-cutdata$method" "$method cut in its data"
done

# No closing zero byte: every member is extracted all the same.
printf 'noend\n' >noend.list
case_installer noend first.list middle.list last.list noend.list
run_installer dest-noend "\"$(winpath "$E2E_WORK/noend.exe")\""
expect_exit 0
expect_tree members dest-noend

# A member with a method this program does not know is skipped silently.
printf 'member\t-xyz-\t1\tunknown.bin\t%s\t1500000000\n' "$E2E_WORK/members/dir/middle.bin" >unknown.list
case_installer unknown first.list unknown.list middle.list last.list
run_installer dest-unknown "\"$(winpath "$E2E_WORK/unknown.exe")\""
expect_exit 0
expect_tree members dest-unknown
expect_times dest-unknown

# A -lh5- member whose header claims 1 GiB more than it holds: damaged, its
# partial file gone. Its decoder stops where its data does, so the bar,
# which counts the claimed gigabyte, has not moved when the box comes
# (decoding on from zero bits, it would stand near 100 %).
E2E_EXPECTED=$E2E_WORK/bigsize packed_member bigsize.jlist -lh5- 1 big.txt 60000 text 5 1500000006
jlha_archive bigsize-jlha.lzh bigsize.jlist
printf 'copy\t%s\tbigsize\n' "$E2E_WORK/bigsize-jlha.lzh" >bigsize.list
case_installer bigsize first.list bigsize.list
start_installer dest-bigsize "\"$(winpath "$E2E_WORK/bigsize.exe")\""
probe wait --class '#32770' --timeout 30000 >/dev/null || e2e_fail "claimed size: no box"
bar=$(probe_field "$(probe dump --class VORNSFXCLASS)" 'id=1018' pos)
[ "${bar:-100}" -lt 5 ] || e2e_fail "claimed size: the bar stood at ${bar:-?} % when the member failed"
expect_box "ファイル big.txt が壊れています。"
wait_installer
expect_exit 2
expect_same members/first.txt dest-bigsize/first.txt
expect_absent dest-bigsize/big.txt

e2e_end
