#!/bin/sh
# run-bench.sh NATIVE_BUILD_DIR BENCH_DIR
# Makes the benchmark archives in BENCH_DIR unless they are there already
# (they are kept between runs), then runs the benchmark program over them.
#   -lh1-, -lh3-, -lh5-, -lh6-, -lh7-, -lzs-, -lz5-: one member of 64 MiB of
#     mixed text and structured binary, compressed by the jLHA library
#     through tests/tools/lzhgen;
#   -lh2-: one member of 3 MiB of the same kind of data, compressed by
#     tests/tools/lh2enc (the jLHA library's -lh2- output does not follow the
#     method's rules, and lh2enc is slow).
set -eu
native=$1 out=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
bench=$native/bench
mkdir -p "$out"

make_data() {  # name size seed
  [ -f "$out/$1" ] || { "$bench" --make-data "$out/$1.tmp" "$2" "$3" && mv "$out/$1.tmp" "$out/$1"; }
}
make_data mixed-64m.bin $((64 * 1024 * 1024)) 1
make_data mixed-3m.bin $((3 * 1024 * 1024)) 2

make_jlha() {  # method
  archive=$out/$1.lzh
  [ -f "$archive" ] && return 0
  printf -- '-%s-\t2\tmixed.bin\t%s\t1700000000\n' "$1" "$out/mixed-64m.bin" > "$out/$1.tsv"
  TMPDIR=$out "$root/tests/tools/lzhgen/lzhgen" "$archive.tmp" "$out/$1.tsv"
  mv "$archive.tmp" "$archive"
}
methods="lh1 lh3 lh5 lh6 lh7 lzs lz5"
missing=""
for m in $methods; do [ -f "$out/$m.lzh" ] || missing="$missing $m"; done
if [ -n "$missing" ]; then
  echo "bench: making the archives:$missing (once; kept in $out)"
  # Two at a time: the machine has two cores.
  set -- $missing
  while [ $# -gt 0 ]; do
    make_jlha "$1" &
    first=$!
    if [ $# -gt 1 ]; then make_jlha "$2"; shift; fi
    wait $first
    shift
  done
fi
if [ ! -f "$out/lh2.lzh" ]; then
  echo "bench: making lh2.lzh with lh2enc (once; about half a minute)"
  python3 "$root/tests/tools/lh2enc/lh2enc.py" -l 2 "$out/lh2.lzh.tmp" "mixed.bin=$out/mixed-3m.bin" >/dev/null
  mv "$out/lh2.lzh.tmp" "$out/lh2.lzh"
fi

"$bench" --runs "${BENCH_RUNS:-5}" "$out/lh1.lzh" "$out/lh2.lzh" "$out/lh3.lzh" "$out/lh5.lzh" \
  "$out/lh6.lzh" "$out/lh7.lzh" "$out/lzs.lzh" "$out/lz5.lzh"
