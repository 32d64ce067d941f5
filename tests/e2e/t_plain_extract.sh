#!/bin/bash
# A plain self-extractor writes every stored (-lh0-, -lz4-) and static-Huffman
# (-lh4- to -lh7-) member of header levels 0, 1 and 2 into the folder it is
# started in: folders, Shift-JIS names (some with 0x5C as their second byte),
# an empty member and a folder entry, every byte and every file time.
. "$(dirname "$0")/lib.sh"
e2e_begin "plain self-extractor: every stored and static-Huffman member, levels 0 to 2"

cd "$E2E_WORK"
stored=$E2E_WORK/stored.list
packed=$E2E_WORK/packed.list
stored_member "$stored" -lh0- 0 readme.txt 3000 text 1 1262304000
stored_member "$stored" -lh0- 1 docs/manual.txt 70000 text 2 1300000000
stored_member "$stored" -lh0- 2 日本語/表示/ファイル.bin 70000 random 3 1400000000
stored_member "$stored" -lh0- 0 empty.dat 0 zeros 4 1500000000
stored_member "$stored" -lz4- 0 lz4/a.bin 5000 random 5 1500000010
stored_member "$stored" -lz4- 1 lz4/b/c.bin 4096 zeros 6 1500000020
stored_member "$stored" -lz4- 2 lz4/ソフト.txt 2049 text 7 1500000030
seed=10
for method in -lh4- -lh5- -lh6- -lh7-; do
  for level in 0 1 2; do
    tag=${method//-/}-h$level
    packed_member "$packed" "$method" "$level" "packed/$tag/text.txt" 40000 text "$seed" $((1600000000 + seed * 2))
    packed_member "$packed" "$method" "$level" "packed/$tag/データ.bin" 9000 random $((seed + 1)) $((1600000002 + seed * 2))
    seed=$((seed + 2))
  done
done
printf -- '-lhd-\t1\temptydir\t-\t1650000000\n' >>"$packed"
mkdir -p expected/emptydir
jlha_archive packed.lzh "$packed"
printf 'copy\tpacked.lzh\n' >>"$stored"
make_archive plain.lzh "$stored"
build_installer plain.lzh plain.exe --plain

mkdir dest
run_installer dest "\"$(winpath "$E2E_WORK/plain.exe")\""
expect_exit 0
expect_tree expected dest
expect_times dest

# The same installer started again over its own output replaces every file.
printf 'stale' >dest/readme.txt
touch -d @1 dest/packed/lh5-h1/text.txt || true
run_installer dest "\"$(winpath "$E2E_WORK/plain.exe")\""
expect_exit 0
expect_tree expected dest
expect_times dest

e2e_end
