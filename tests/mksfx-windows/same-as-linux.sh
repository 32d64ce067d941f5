#!/bin/bash
# same-as-linux.sh NATIVE WIN64 STUB: mksfx.exe, the publisher's tool for
# Windows (build WIN64), under 64-bit Wine, held against mksfx on Linux
# (build NATIVE) made from the same sources, both with the stub STUB:
# - installers made from a folder of Japanese names, subfolders, an empty
#   folder, a file that does not shrink and files for every worker are the
#   same byte for byte, also from the folder's archive as an .lzh;
# - names without a Shift-JIS form are refused by both, leaving no output,
#   and both systems' tables of Shift-JIS forms are the same;
# - --list, --test, --extract and wrong command lines print the same and
#   exit with the same status; what --extract writes is the folder again;
# - --sign runs osslsigncode found on the PATH, and without it says how to
#   sign with signtool;
# - mksfx.exe imports nothing that shows a message box or opens the
#   registry.
#
# 64-bit Wine runs 64-bit programs on any x86-64 kernel, also one that runs
# no 32-bit code, so no guest is needed. Its locale is C.UTF-8: Linux names
# reach Wine as UTF-8, and Windows' code page is then 1252, which has no
# Japanese, so that names can only pass through the wide-character calls.
set -u
[ $# = 3 ] || { echo "usage: same-as-linux.sh NATIVE_BUILD WIN64_BUILD STUB" >&2; exit 2; }
native=$(cd "$1" && pwd) win64=$(cd "$2" && pwd) stub=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
root=$(cd "$(dirname "$0")/../.." && pwd)
wine=/usr/lib/wine/wine64

die() { echo "mksfx-windows: $*" >&2; exit 1; }
[ -x "$wine" ] || die "no 64-bit Wine at $wine (Debian package wine64, which scripts/install-deps.sh installs)"
for file in "$native/mksfx" "$native/test-tools/sjis_table" "$win64/mksfx.exe" "$win64/test-tools/sjis_table.exe" \
  "$win64/test-tools/osslsigncode.exe" "$stub"; do
  [ -f "$file" ] || die "$file is missing (make all builds it)"
done

export WINEPREFIX="$root/build/wine64-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8 LC_ALL=C.UTF-8
unset DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "mksfx-windows: making the 64-bit Wine prefix $WINEPREFIX (once)"
  "$wine" wineboot -i >"$root/build/wine64-prefix.log" 2>&1 ||
    die "64-bit Wine could not make its prefix (see build/wine64-prefix.log)"
fi
version=$("$wine" "$win64/mksfx.exe" --version 2>&1) ||
  die "64-bit Wine could not run mksfx.exe: $version"
echo "mksfx-windows: $version under $("$wine" --version 2>/dev/null) ($wine), $(uname -r)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
cp "$stub" vornsfx.exe

passed=0 failed=0
ok() { echo "ok    $1"; passed=$((passed + 1)); }
fail() { echo "FAIL  $1"; failed=$((failed + 1)); }
check() {  # check NAME COMMAND...: COMMAND succeeds
  local name=$1
  shift
  if "$@"; then ok "$name"; else fail "$name"; fi
}

on_linux() { "$native/mksfx" --stub vornsfx.exe "$@"; }
on_windows() { "$wine" "$win64/mksfx.exe" --stub vornsfx.exe "$@"; }
sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
no_output() { for file in "$@"; do [ ! -e "$file" ] && [ ! -e "$file.partial" ] && [ ! -e "$file.signed" ] || return 1; done; }

# both STATUS NAME ARGUMENT...: both exit with STATUS and print the same on
# stdout and stderr (Windows' line ends aside); "{}" in an argument is
# "linux" or "windows", so that each writes its own output.
both() {
  local status=$1 name=$2
  shift 2
  on_linux "${@//\{\}/linux}" >linux.out 2>linux.err
  local linux=$?
  on_windows "${@//\{\}/windows}" >windows.out 2>windows.err
  local windows=$?
  sed -i 's/\r$//' windows.out windows.err
  if [ $linux != "$status" ] || [ $windows != "$status" ]; then
    fail "$name: exit status $linux on Linux, $windows on Windows; $status expected"
    cat linux.err windows.err
  elif ! cmp -s linux.out windows.out || ! cmp -s linux.err windows.err; then
    fail "$name: the two print differently"
    diff linux.out windows.out
    diff linux.err windows.err
  else
    ok "$name (exit status $status)"
  fi
}

# The folder: Japanese names, subfolders, an empty folder, a file of random
# bytes that is stored, one of more than 1 MiB that the writer packs while
# the workers pack the small ones, and times with a fraction of a second.
mkdir -p product/ドキュメント product/空のフォルダ product/bin/プラグイン
for i in $(seq 1 200); do echo "第${i}章 ヴォルンの使い方。ファイルを選び、展開を押します。"; done >product/ドキュメント/説明書.txt
head -c 300000 /dev/urandom >product/bin/データ.bin
seq 1 200000 >product/bin/log.txt
for i in $(seq 1 24); do seq "$i" 7 40000 >"product/bin/プラグイン/部品$i.txt"; done
echo "[設定]" >product/bin/プラグイン/設定.ini
touch -d '2021-03-04 05:06:07.9' product/ドキュメント/説明書.txt
touch -d '1999-12-31 23:59:59' product/bin/データ.bin

# Installers, byte for byte. Texts go to mksfx in Shift-JIS, to mksfx.exe
# as typed.
on_linux --title "$(sjis 'ヴォルン 1.0 表示')" --program-files --destination "$(sjis 'ヴォルン')" \
  --program bin/vorn.exe --start-menu 3 --desktop 1 --send-to 1 product setup-linux.exe
on_windows --title 'ヴォルン 1.0 表示' --program-files --destination 'ヴォルン' \
  --program bin/vorn.exe --start-menu 3 --desktop 1 --send-to 1 product setup-windows.exe
check "an installer with Japanese texts, the same byte for byte" cmp setup-linux.exe setup-windows.exe
both 0 "a plain self-extractor (-lh5-, level 2)" --plain --method lh5 --level 2 product plain-{}.exe
check "... the same byte for byte" cmp plain-linux.exe plain-windows.exe
tail -c +$((17408 + 2)) plain-linux.exe >product.lzh
both 0 "a plain self-extractor from the folder's .lzh" --plain product.lzh from-lzh-{}.exe
check "... the same byte for byte, and as made from the folder" \
  eval 'cmp from-lzh-linux.exe from-lzh-windows.exe && cmp from-lzh-linux.exe plain-linux.exe'

# Names without a Shift-JIS form: outside the BMP; one that Windows would
# approximate (é as e); one that only Windows' code page 932 has a byte for.
for name in "$(printf '\xf0\x9f\x98\x80')" 'café' "$(printf 'x\xc2\x80y')"; do
  rm -rf refused && mkdir refused && echo x >"refused/$name.txt"
  both 1 "refused: $name.txt" --plain refused refused-{}.exe
  check "... saying why, and no output left" \
    eval 'grep -q "no Shift-JIS form" linux.err && no_output refused-linux.exe refused-windows.exe'
done
"$native/test-tools/sjis_table" linux.table && "$wine" "$win64/test-tools/sjis_table.exe" windows.table
check "the Shift-JIS forms of every character, and the characters of every byte pair, the same" \
  eval 'grep -q "^E697A5 93FA$" linux.table && cmp linux.table windows.table'

# Reading installers, whole and damaged, and wrong command lines.
both 0 "--list" --list setup-linux.exe
both 0 "--test" --test setup-linux.exe
both 0 "--extract" --extract setup-linux.exe extracted-{}
(cd product && find . -type f -exec stat -c '%n %Y' {} + | sort) >times.product
for side in linux windows; do
  (cd extracted-$side && find . -type f -exec stat -c '%n %Y' {} + | sort) >times.$side
  check "... the folder again on $side, with the files' times" eval "diff -r product extracted-$side && cmp times.product times.$side"
done
python3 - setup-linux.exe <<'EOF'
import sys
data = open(sys.argv[1], "rb").read()
at = data.index("説明書.txt".encode("cp932"))
open("damaged.exe", "wb").write(data[:at + 200] + bytes([data[at + 200] ^ 0x55]) + data[at + 201:])
open("cut.exe", "wb").write(data[:-100])
EOF
both 0 "--list of a damaged member" --list damaged.exe
both 1 "--test of a damaged member" --test damaged.exe
both 1 "--extract of a damaged member" --extract damaged.exe damaged-{}
both 1 "--list of a cut installer" --list cut.exe
both 1 "--test of a cut installer" --test cut.exe
both 1 "--extract of a cut installer" --extract cut.exe cut-{}
both 1 "no output named" product
both 1 "a source that is not there" missing missing-{}.exe
both 1 "a level out of range" --level 10 product level-{}.exe
both 0 "--version" --version
check "... the project's version" eval \
  '[ "$(cat linux.out)" = "mksfx $(sed -n "s/^project(vorn VERSION \([0-9.]*\) .*/\1/p" "$root/CMakeLists.txt")" ]'
both 0 "--help" --help

# Signing: osslsigncode on the PATH (here the stand-in, in the current
# folder, where Windows looks too), given a certificate whose name has a
# blank; without it, a word on signtool.
on_windows --sign 'my cert.pfx' --password-file pass.txt --plain product unsigned.exe 2>sign.err
status=$?
check "--sign without osslsigncode fails, naming signtool, and leaves no output" \
  eval '[ $status = 1 ] && grep -q "signtool sign /fd SHA256 /f my cert.pfx" sign.err && no_output unsigned.exe'
mkdir signing && cp "$win64/test-tools/osslsigncode.exe" signing/
(cd signing && "$wine" "$win64/mksfx.exe" --stub ../vornsfx.exe --sign 'my cert.pfx' --password-file pass.txt \
  --plain ../product signed.exe)
on_linux --plain product unsigned.exe
{
  cat unsigned.exe
  printf '\nsigned by the stand-in with:\n'
  printf '%s\n' sign -pkcs12 'my cert.pfx' -h sha256 -readpass pass.txt -in signed.exe.partial -out signed.exe.signed
} >expected-signed.exe
check "--sign runs osslsigncode from the PATH with its arguments whole, and the installer is what it wrote" \
  eval 'cmp signing/signed.exe expected-signed.exe && no_output signing/signed.exe.partial'

# Nothing in mksfx.exe can show a message box or touch the registry: the
# core's calls of them go to the host's stand-ins.
x86_64-w64-mingw32-objdump -p "$win64/mksfx.exe" >imports.txt
check "mksfx.exe imports no message box, registry or shell notification" \
  eval 'grep -q CreateFileW imports.txt && ! grep -E "MessageBox|RegOpenKey|RegCreateKey|RegSetValue|RegDeleteKey|SHChangeNotify" imports.txt'

echo "mksfx-windows: $passed passed, $failed failed"
[ $failed = 0 ]
