#!/bin/sh
# run-encoder-bench.sh NATIVE_BUILD_DIR BENCH_DIR
# The encoder next to jLHA and gzip -9 on the benchmark data (mixed-64m.bin,
# made once into BENCH_DIR as for the decoding bench) and on a tree of real
# files: /usr/share/doc, or the folder in VORN_BENCH_TREE. The encoders run
# in ENCODER_BENCH_RUNS rounds (default 3) of one run each; the fastest run
# of each counts.
set -eu
native=$1 out=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
tree=${VORN_BENCH_TREE:-/usr/share/doc}
mkdir -p "$out/encoder"
if [ ! -f "$out/mixed-64m.bin" ]; then
  "$native/bench" --make-data "$out/mixed-64m.bin.tmp" $((64 * 1024 * 1024)) 1
  mv "$out/mixed-64m.bin.tmp" "$out/mixed-64m.bin"
fi
TMPDIR=$out/encoder "$native/encoder-bench" --runs "${ENCODER_BENCH_RUNS:-3}" --lzhgen "$root/tests/tools/lzhgen/lzhgen" --work "$out/encoder" \
  "mixed-64m.bin=$out/mixed-64m.bin" "$(basename "$tree")=$tree"
