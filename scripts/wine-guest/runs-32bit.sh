#!/bin/sh
# Exits 0 when this machine can run 32-bit x86 programs, as Wine's loader
# and wineserver are. Not a guess from the kernel version: a kernel booted
# with its 32-bit emulation off (possible since Linux 6.7) refuses such a
# program outright, so the probe writes the smallest one there is (an ELF32
# whose code is `mov eax,1; mov ebx,42; int 0x80`: exit(42) through the
# 32-bit system call gate Wine also needs) and runs it.
# With -v it says why not on standard error.
set -u
dir=$(mktemp -d "${TMPDIR:-/tmp}/vorn-probe32.XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
probe=$dir/exit42
# ELF header (52 bytes), one PT_LOAD program header (32 bytes), 12 bytes of code.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$probe"
printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$probe"
printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000' >>"$probe"
printf '\000\000\000\000' >>"$probe"
printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$probe"
printf '\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000' >>"$probe"
printf '\270\001\000\000\000\273\052\000\000\000\315\200' >>"$probe"
chmod +x "$probe"
"$probe" 2>"$dir/err"
status=$?
[ $status = 42 ] && exit 0
if [ "${1:-}" = -v ]; then
  reason=$(head -n 1 "$dir/err")
  echo "a 32-bit x86 program cannot run on this machine (exit status $status${reason:+: $reason})" >&2
fi
exit 1
