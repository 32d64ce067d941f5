#!/bin/sh
# make-decode-fixtures.sh OUTDIR
# Writes the two long adaptive-Huffman members that the decoder tests use
# (tests/data/decode): 50000 pseudo-random bytes and then 24000 bytes of
# words, 74000 bytes in all, about 55000 literal/length symbols, so that the
# literal/length tree is rebuilt twice, and more than 8192 bytes, so that
# the -lh2- distance alphabet grows to all its 128 symbols.
#   lh1-rebuilds.lzh  -lh1-, by the jLHA library through lzhgen
#   lh2-rebuilds.lzh  -lh2-, by lh2enc
set -eu
out=$1
tools=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
python3 - "$out/fixture.bin" <<'PY'
import random, sys
r = random.Random(3)
data = bytes(r.randrange(256) for _ in range(50000))
vocab = ("the of and to a in is it you that he was for on are with as I his they "
         "be at one have this from or had by").split()
words, n = [], 0
while n < 24000:
    w = r.choice(vocab) + " "
    words.append(w)
    n += len(w)
open(sys.argv[1], "wb").write(data + "".join(words).encode()[:24000])
PY
printf -- '-lh1-\t2\tdata.bin\t%s\t1700000000\n' "$out/fixture.bin" > "$out/fixture.tsv"
"$tools/lzhgen/lzhgen" "$out/lh1-rebuilds.lzh" "$out/fixture.tsv"
python3 "$tools/lh2enc/lh2enc.py" -l 2 -t 1700000000 "$out/lh2-rebuilds.lzh" "data.bin=$out/fixture.bin" >/dev/null
rm "$out/fixture.tsv" "$out/fixture.bin"
