#!/bin/bash
# One installer whose archive holds members of all eleven data methods
# (-lh0- to -lh7-, -lzs-, -lz5-, -lz4-) at header levels 0, 1 and 2 writes
# every byte and file time of each: the stored ones, the static-Huffman
# ones, -lh1- and -lh2- (adaptive trees), -lh3-, -lzs- and -lz5- (with its
# initial dictionary). -lh2- comes from tests/tools/lh2enc, the others from jLHA
# (tests/tools/lzhgen).
. "$(dirname "$0")/lib.sh"
e2e_begin "every method in one installer, levels 0 to 2"

cd "$E2E_WORK"
stored=$E2E_WORK/stored.list
packed=$E2E_WORK/packed.list
stored_member "$stored" -lh0- 0 lh0/readme.txt 5000 text 1 1262304000
stored_member "$stored" -lz4- 1 lz4/data.bin 6000 random 2 1262304100
# Text and binary for each compressing method, long enough for the
# adaptive trees to be rebuilt and for matches that reach back across the
# whole dictionary; the level goes round 0, 1, 2.
seed=10
level=0
for method in -lh1- -lh3- -lh4- -lh5- -lh6- -lh7- -lzs- -lz5-; do
  tag=${method//-/}
  packed_member "$packed" "$method" "$level" "$tag/text.txt" 90000 text "$seed" $((1600000000 + seed * 2))
  packed_member "$packed" "$method" "$level" "$tag/データ.bin" 12000 random $((seed + 1)) $((1600000002 + seed * 2))
  seed=$((seed + 2))
  level=$(((level + 1) % 3))
done
jlha_archive packed.lzh "$packed"

# -lh2- at each level: a member of text long enough for the distance
# alphabet to reach its 128 symbols, and one of binary data.
lh2_member() {  # LEVEL NAME SIZE KIND SEED MTIME
  local file
  file=$(member_data "$2" "$3" "$4" "$5" "$6")
  python3 "$E2E_REPO/tests/tools/lh2enc/lh2enc.py" -l "$1" -t "$6" "lh2-$1.lzh" "$2=$file" >/dev/null ||
    e2e_die "lh2enc failed for $2"
  printf 'copy\tlh2-%s.lzh\n' "$1" >>"$stored"
}
lh2_member 0 lh2/text0.txt 20000 text 40 1610000000
lh2_member 1 lh2/データ.bin 5000 random 41 1610000002
lh2_member 2 lh2/text2.txt 12000 text 42 1610000004

printf 'copy\tpacked.lzh\n' >>"$stored"
make_archive every.lzh "$stored"
# The archive really holds every method.
methods=$($E2E_LZHMAKE list every.lzh | cut -f 2 | sort -u | tr "\n" " ")
[ "$methods" = "-lh0- -lh1- -lh2- -lh3- -lh4- -lh5- -lh6- -lh7- -lz4- -lz5- -lzs- " ] ||
  e2e_fail "the archive holds the methods $methods"
build_installer every.lzh every.exe --plain

mkdir dest
run_installer dest "\"$(winpath "$E2E_WORK/every.exe")\""
expect_exit 0
expect_tree expected dest
expect_times dest

e2e_end
