#!/bin/sh
# run-encoder-bench.sh NATIVE_BUILD_DIR BENCH_DIR
# The encoder next to jLHA and gzip -9 on the benchmark data (mixed-64m.bin,
# made once into BENCH_DIR as for the decoding bench) and on two trees of
# real files: copies of this machine's /usr/share/doc and /usr/include with
# their files and folders only (symbolic links and special files left out,
# so that every encoder packs the same files), made once into
# BENCH_DIR/trees. The encoders run in ENCODER_BENCH_RUNS rounds (default
# 3) of one run each; the fastest run of each counts.
set -eu
native=$1 out=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$out/encoder" "$out/trees"
if [ ! -f "$out/mixed-64m.bin" ]; then
  "$native/bench" --make-data "$out/mixed-64m.bin.tmp" $((64 * 1024 * 1024)) 1
  mv "$out/mixed-64m.bin.tmp" "$out/mixed-64m.bin"
fi
for folder in /usr/share/doc /usr/include; do
  name=$(basename "$folder")
  [ -d "$out/trees/$name" ] && continue
  rm -rf "$out/trees/$name.tmp"
  mkdir "$out/trees/$name.tmp"
  (cd "$(dirname "$folder")" && find "$name" \( -type d -o -type f \) -print0 |
    tar --null --no-recursion -T - -cf -) | tar -C "$out/trees/$name.tmp" -xf -
  mv "$out/trees/$name.tmp/$name" "$out/trees/$name"
  rmdir "$out/trees/$name.tmp"
done
TMPDIR=$out/encoder "$native/encoder-bench" --runs "${ENCODER_BENCH_RUNS:-3}" \
  --lzhgen "$root/tests/tools/lzhgen/lzhgen" --jlha "$root/tests/tools/jlha/jlha" --work "$out/encoder" \
  "mixed-64m.bin=$out/mixed-64m.bin" "doc=$out/trees/doc" "include=$out/trees/include"
