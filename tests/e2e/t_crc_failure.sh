#!/bin/bash
# A member whose bytes do not match the CRC-16 in its header stops the run:
# the "ファイル %s が壊れています。" box names it, the file stays as written
# (without the member's time), the members before it stay, the ones after it
# are not extracted, and the program ends with exit code 2 (the run failed).
# Once for a stored member, once for a compressed one.
. "$(dirname "$0")/lib.sh"
e2e_begin "CRC failure in the second of three members"

cd "$E2E_WORK"

# Stored: the second member's header carries a wrong CRC.
E2E_EXPECTED=$E2E_WORK/stored
stored_member stored.list -lh0- 0 first.txt 3000 text 1 1500000000
stored_member stored.list -lh0- 1 sub/second.bin 5000 random 2 1500000002 badcrc
stored_member stored.list -lh0- 2 third.txt 3000 text 3 1500000004
make_archive stored.lzh stored.list
build_installer stored.lzh stored.exe --plain
mkdir dest1
start_installer dest1 "\"$(winpath "$E2E_WORK/stored.exe")\""
expect_box "ファイル sub/second.bin が壊れています。"
wait_installer
expect_exit 2
expect_same stored/first.txt dest1/first.txt
expect_mtime dest1/first.txt 1500000000
# The damaged member's bytes are on disk as they were written; its time is not set.
expect_same stored/sub/second.bin dest1/sub/second.bin
[ "$(stat -c %Y dest1/sub/second.bin 2>/dev/null)" != 1500000002 ] ||
  e2e_fail "the damaged member got its time set"
expect_absent dest1/third.txt

# Compressed (-lh5-, level 1): the decoded bytes do not match the header's CRC.
E2E_EXPECTED=$E2E_WORK/packed
stored_member packed.list -lh0- 0 first.txt 3000 text 4 1500000000
packed_member jlha.list -lh5- 1 second.txt 50000 text 5 1500000002
jlha_archive second.lzh jlha.list
printf 'copy\tsecond.lzh\tbadcrc\n' >>packed.list
stored_member third.list -lh0- 2 third.txt 3000 text 6 1500000004
cat third.list >>packed.list
make_archive packed.lzh packed.list
build_installer packed.lzh packed.exe --plain
mkdir dest2
start_installer dest2 "\"$(winpath "$E2E_WORK/packed.exe")\""
expect_box "ファイル second.txt が壊れています。"
wait_installer
expect_exit 2
expect_same packed/first.txt dest2/first.txt
expect_same packed/second.txt dest2/second.txt
expect_absent dest2/third.txt

e2e_end
