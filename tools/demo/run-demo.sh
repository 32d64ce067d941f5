#!/bin/bash
# The demo: packs a small Vorn installer from an archive made here (stored
# and -lh5-/-lh6-/-lh7- members, folders, Shift-JIS names, a folder entry and
# one large member), runs it under Wine on a virtual display as an unattended
# installation into a temporary folder, photographs the progress window
# while the large member extracts, checks every file against its source and
# prints a short report. `make demo` builds everything first.
#
#   tools/demo/run-demo.sh [--visible]
#
# --visible runs it on the current X display ($DISPLAY) instead of a virtual
# one, so that the window can be watched. The installer and the screenshot
# are kept in build/demo/.
set -eu
repo=$(cd "$(dirname "$0")/../.." && pwd)
. "$repo/tests/e2e/lib.sh"
E2E_NAME=demo
out_dir=$repo/build/demo
visible=0
[ "${1:-}" = --visible ] && visible=1

for tool in "$E2E_STUB" "$E2E_MKSFX" "$E2E_TOOLS/launch.exe" "$E2E_TOOLS/winprobe.exe"; do
  [ -f "$tool" ] || e2e_die "$tool is missing; run 'make all' first"
done
mkdir -p "$out_dir"
E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/vorn-demo.XXXXXX")
trap e2e_cleanup EXIT
trap 'exit 130' INT TERM
E2E_WORK=$E2E_TMP/work
E2E_EXPECTED=$E2E_WORK/source
mkdir -p "$E2E_WORK"
cd "$E2E_WORK"

step() { printf 'demo: %s\n' "$*"; }

step "making the demo archive (jLHA compresses the -lh5-, -lh6- and -lh7- members)"
stored=$E2E_WORK/stored.list
packed=$E2E_WORK/packed.list
stored_member "$stored" -lh0- 0 README.txt 2400 text 1 1704067200
stored_member "$stored" -lh0- 1 bin/vorn.exe 61440 random 2 1704067202
stored_member "$stored" -lz4- 2 bin/設定.ini 900 text 3 1704067204
packed_member "$packed" -lh5- 2 doc/マニュアル.txt 180000 text 4 1704067206
packed_member "$packed" -lh6- 1 doc/表/一覧.txt 90000 text 5 1704067208
packed_member "$packed" -lh7- 0 data/sample.bin 40000 random 6 1704067210
packed_member "$packed" -lh5- 1 data/large/ログ.txt 8388608 text 7 1704067212
printf -- '-lhd-\t1\tplugins\t-\t1704067214\n' >>"$packed"
mkdir -p "$E2E_EXPECTED/plugins"
large_name=data/large/ログ.txt
jlha_archive packed.lzh "$packed"
printf 'copy\tpacked.lzh\n' >>"$stored"
make_archive demo.lzh "$stored"
installer=$out_dir/vorn-demo.exe
build_installer demo.lzh "$installer" --title "$(sjis 'Vorn デモ')" --program 'bin\vorn.exe'

step "starting Wine (Japanese code page 932, IPA Gothic for the UI fonts)"
if [ $visible = 1 ]; then
  [ -n "${DISPLAY:-}" ] || e2e_die "--visible needs an X display in DISPLAY"
  E2E_KEEP_POINTER=1
else
  e2e_start_display
fi
e2e_make_prefix "$E2E_TMP/prefix" "$E2E_TMP/home"
e2e_wine_env "$E2E_TMP/prefix" "$E2E_TMP/home"
wineserver -p

destination="$E2E_TMP/展開先/Vorn デモ"
line="\"$(winpath "$installer")\" \"$(winpath "$destination")\""
step "running: $line"
begin=$(date +%s%N)
start_installer "$E2E_WORK" "$line"
shot=$out_dir/progress-window.png
held=0
if window=$(probe freeze --class VORNSFXCLASS --label "$large_name" --progress-min 40 --timeout 60000); then
  hold_begin=$(date +%s%N)
  screenshot "$shot" "$(probe_field "$window" '^window ' rect)"
  probe thaw --class VORNSFXCLASS >/dev/null || true
  held=$(($(date +%s%N) - hold_begin))
else
  e2e_fail "the progress window was not seen during the large member"
fi
wait_installer
elapsed=$(($(date +%s%N) - begin - held))
expect_exit 0

step "checking every file against its source"
expect_tree "$E2E_EXPECTED" "$destination"
expect_times "$destination"

files=$(find "$E2E_EXPECTED" -type f | wc -l)
folders=$(find "$E2E_EXPECTED" -mindepth 1 -type d -empty | wc -l)
bytes=$(find "$E2E_EXPECTED" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
archive_bytes=$(stat -c %s demo.lzh)
methods=$($E2E_LZHMAKE list demo.lzh | cut -f2 | sort | uniq -c | awk '{ printf "%s%s x%d", sep, $2, $1; sep = ", " }')
ms() { printf '%d.%03d' $(($1 / 1000000000)) $(($1 / 1000000 % 1000)); }

echo
echo "Vorn demo"
printf '  installer   %s (%d bytes: stub %d, then block and archive)\n' "${installer#"$repo"/}" \
  "$(stat -c %s "$installer")" "$(stat -c %s "$E2E_STUB")"
printf '  members     %d files and %d folder entry; %s\n' "$files" "$folders" "$methods"
printf '  extracted   %d bytes from an archive of %d bytes into %s\n' "$bytes" "$archive_bytes" "$(winpath "$destination")"
printf '  time        %s s from start to exit' "$(ms $elapsed)"
[ "$held" -gt 0 ] && printf ' (not counting %s s held for the screenshot)' "$(ms $held)"
echo
if [ "$E2E_FAILURES" = 0 ]; then
  printf '  verified    every file byte for byte, with its time; exit code %s\n' "$E2E_EXIT"
else
  printf '  verified    %d PROBLEM(S), see above\n' "$E2E_FAILURES"
fi
[ -f "$shot" ] && printf '  screenshot  %s\n' "${shot#"$repo"/}"
[ "$E2E_FAILURES" = 0 ]
