#!/bin/bash
# run-stub-bench.sh BENCH_DIR
# The speed that counts: the real stub extracting under Wine (a private
# prefix on a virtual display, as the end-to-end tests run it), next to
# lhasa and gzip -d on the same bytes, in the same run.
#
# For each method an installer is made from the benchmark archive with the
# member once and with it eight times over (the same name: each copy
# replaces the last). The time per member is (time with 8 copies - time
# with 1 copy) / 7, which takes Wine's start-up out; lhasa extracts the
# same two archives and gzip -d the benchmark data compressed once and
# eight times over, the same way. Times are wall-clock medians of
# BENCH_RUNS runs (default 3); everything is written to one folder, in
# memory (/dev/shm) where the machine has it, so that the disk does not
# time the writes.
# Targets: -lh5-, -lh6-, -lh7- at least 3 times lhasa's speed; -lh1-,
# -lzs-, -lz5- at least 1.5 times. Inside the emulated Wine guest
# (scripts/wine-guest) the times are the emulator's, not the product's: the
# rows are printed once each and the targets are not judged.
set -eu
bench_dir=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
stub=$root/build/win32/vornsfx.exe
mksfx=$root/build/native/mksfx
emulated=${VORN_WINE_GUEST:-}
# Under emulation one run of each is slow enough and tells as much.
runs=${BENCH_RUNS:-$([ -n "$emulated" ] && echo 1 || echo 3)}
for tool in "$stub" "$mksfx"; do
  [ -f "$tool" ] || { echo "stub bench: $tool is missing; run 'make all' first" >&2; exit 2; }
done

. "$root/tests/e2e/lib.sh"
set +e
E2E_NAME=stub-bench
scratch=${TMPDIR:-/tmp}
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm
E2E_TMP=$(mktemp -d "$scratch/vorn-stub-bench.XXXXXX")
trap e2e_cleanup EXIT
e2e_start_display
e2e_make_prefix "$E2E_TMP/prefix" "$E2E_TMP/home"
e2e_wine_env "$E2E_TMP/prefix" "$E2E_TMP/home"
wineserver -p
work=$E2E_TMP/work
out=$work/out
mkdir -p "$work"

now() { date +%s.%N; }
calc() { awk "BEGIN { print ($1) }"; }

# seconds COMMAND...: wall-clock seconds of one run into a fresh $out.
seconds() {
  rm -rf "$out" && mkdir "$out"
  local start end
  start=$(now)
  (cd "$out" && "$@" >/dev/null 2>&1)
  end=$(now)
  calc "$end - $start"
}

median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# per_member ONE EIGHT: (median of EIGHT - median of ONE) / 7, where ONE and
# EIGHT are commands run alternately `runs` times each.
per_member() {
  local one=$1 eight=$2 t1=() t8=() i
  for i in $(seq "$runs"); do
    t1+=("$(eval "seconds $one")")
    t8+=("$(eval "seconds $eight")")
  done
  calc "($(median "${t8[@]}") - $(median "${t1[@]}")) / 7"
}

# The member eight times over: the archive without its end byte, repeated,
# then the end byte.
repeat_member() {  # ARCHIVE OUT
  head -c -1 "$1" >"$work/body"
  { for i in 1 2 3 4 5 6 7 8; do cat "$work/body"; done; printf '\0'; } >"$2"
  rm "$work/body"
}

data=$bench_dir/mixed-64m.bin
megabytes=$(calc "$(stat -c %s "$data") / 1000000")
gzip -c "$data" >"$work/one.gz"
for i in 1 2 3 4 5 6 7 8; do cat "$work/one.gz"; done >"$work/eight.gz"
gzip_seconds=$(per_member "sh -c 'gzip -dc \"$work/one.gz\" >data'" "sh -c 'gzip -dc \"$work/eight.gz\" >data'")

echo "The stub under Wine, per 64 MiB member (wall-clock, (8 copies - 1 copy) / 7,"
echo "median of $runs runs); lhasa x and gzip -d on the same bytes in the same run."
if [ -n "$emulated" ]; then
  echo "UNDER FULL-SYSTEM EMULATION ($emulated): Wine runs inside an emulated guest, so these"
  echo "times are the emulator's, not the stub's speed; the targets are not judged. The"
  echo "figures that count come from a machine where Wine runs directly."
fi
echo
printf '%-7s %10s %8s %10s %7s %10s %7s  %s\n' method "stub s" "MB/s" "lhasa s" ratio "gzip -d s" ratio target
for method in lh5 lh6 lh7 lh1 lzs lz5; do
  archive=$bench_dir/$method.lzh
  [ -f "$archive" ] || continue
  cp "$archive" "$work/$method-1.lzh"
  repeat_member "$archive" "$work/$method-8.lzh"
  for n in 1 8; do
    "$mksfx" --stub "$stub" --plain "$work/$method-$n.lzh" "$work/$method-$n.exe" >/dev/null
  done
  stub_seconds=$(per_member "wine '$work/$method-1.exe'" "wine '$work/$method-8.exe'")
  lhasa_seconds=$(per_member "lhasa xfq '$work/$method-1.lzh'" "lhasa xfq '$work/$method-8.lzh'")
  case $method in lh5 | lh6 | lh7) factor=3 ;; *) factor=1.5 ;; esac
  ratio=$(calc "$lhasa_seconds / $stub_seconds")
  if [ -n "$emulated" ]; then
    verdict="not judged (emulated)"
  elif [ "$(calc "$ratio >= $factor")" = 1 ]; then
    verdict=met
  else
    verdict=MISSED
  fi
  printf -- '-%-6s %10.3f %8.1f %10.3f %6.2fx %10.3f %6.2fx  >= %sx lhasa %s\n' "$method-" "$stub_seconds" \
    "$(calc "$megabytes / $stub_seconds")" "$lhasa_seconds" "$ratio" "$gzip_seconds" \
    "$(calc "$gzip_seconds / $stub_seconds")" "$factor" "$verdict"
  rm -f "$work/$method"-*
done
