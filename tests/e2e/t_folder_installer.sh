#!/bin/bash
# Installers that mksfx makes from a folder, one for each method and kind
# of parse (-lh5- greedy, -lh6- optimal, -lh7- at the default level), write
# that folder's tree: nested folders, Shift-JIS names (some with 0x5C as
# their second byte), an empty folder, empty and one-byte files, a file that
# does not compress (stored), long compressible files; every byte and every
# file time.
. "$(dirname "$0")/lib.sh"
e2e_begin "installers made from a folder, every method: the same tree, bytes and times"

cd "$E2E_WORK"
tree=$E2E_WORK/expected
mkdir -p "$tree/日本語/表示/ソフト" "$tree/空のフォルダ"
make_data "$tree/readme.txt" 300000 text 1
make_data "$tree/日本語/表示/ソース.txt" 40000 text 2
make_data "$tree/日本語/表示/ソフト/データ.bin" 200000 zeros 3
make_data "$tree/random.bin" 70000 random 4
: >"$tree/empty.txt"
printf 'x' >"$tree/one.txt"
mtime=1600000000
(cd "$tree" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) | while IFS= read -r name; do
  touch -d "@$mtime" "$tree/$name"
  printf '%s\t%s\n' "$mtime" "$name" >>"$tree.times"
  mtime=$((mtime + 86400 + 7))
done

for build in "lh5 1" "lh6 8" "lh7"; do
  set -- $build
  method=$1 level=${2:+--level $2}
  # shellcheck disable=SC2086
  "$E2E_MKSFX" --stub "$E2E_STUB" --plain --method "$method" $level expected "$method.exe" >/dev/null ||
    e2e_die "mksfx failed for $method"
  listing=$("$E2E_MKSFX" --list "$method.exe")
  grep -q -- "-$method-.*readme.txt" <<<"$listing" || e2e_fail "readme.txt is not a -$method- member: $listing"
  grep -q -- "-lh0-.*random.bin" <<<"$listing" || e2e_fail "random.bin is not stored: $listing"
  mkdir "dest-$method"
  run_installer "dest-$method" "\"$(winpath "$E2E_WORK/$method.exe")\""
  expect_exit 0
  expect_tree expected "dest-$method"
  expect_times "dest-$method"
done

e2e_end
