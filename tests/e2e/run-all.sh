#!/bin/bash
# Runs every end-to-end test (tests/e2e/t_*.sh), or the ones named on the
# command line, one after the other; prints one line per test and a summary,
# shows the output of each failed test, and exits non-zero if any failed.
# The Wine prefix is made once here and each test starts from a copy of it.
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

missing=""
for tool in wine wineserver Xvfb xdotool xev xprop import python3 java iconv cmp openssl osslsigncode; do
  command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if [ -n "$missing" ]; then
  echo "e2e: missing tools:$missing (scripts/install-deps.sh installs them)" >&2
  exit 2
fi
for file in build/win32/vornsfx.exe build/native/mksfx build/win32/e2e/launch.exe build/win32/e2e/winprobe.exe; do
  if [ ! -f "$repo/$file" ]; then
    echo "e2e: $file is missing; run 'make all' first" >&2
    exit 2
  fi
done

if [ $# -gt 0 ]; then
  tests=()
  for name in "$@"; do
    name=$(basename "${name%.sh}")
    tests+=("$here/t_${name#t_}.sh")
  done
else
  tests=("$here"/t_*.sh)
fi

shared=$(mktemp -d "${TMPDIR:-/tmp}/vorn-e2e-run.XXXXXX")
trap 'rm -rf "$shared"' EXIT
export VORN_E2E_CACHE=$shared/cache
mkdir -p "$VORN_E2E_CACHE" "$shared/logs"

started=$(date +%s)
echo "e2e: preparing the Wine prefix (Japanese code page, fonts)"
if ! (. "$here/lib.sh" && e2e_make_prefix "$shared/template" "$shared/template-home"); then
  echo "e2e: could not make a Wine prefix" >&2
  exit 2
fi
export VORN_E2E_TEMPLATE=$shared/template
echo "e2e: prefix ready after $(($(date +%s) - started))s"

passed=0
skipped=0
failed=()
for test in "${tests[@]}"; do
  name=$(basename "$test" .sh)
  log=$shared/logs/$name.log
  begin=$(date +%s%N)
  timeout --kill-after=20 "${VORN_E2E_TEST_TIMEOUT:-600}" bash "$test" >"$log" 2>&1
  status=$?
  tenths=$((($(date +%s%N) - begin) / 100000000))
  if [ $status = 0 ] && grep -q ": SKIP" "$log"; then
    printf 'SKIP  %-22s %4d.%ds  %s\n' "$name" $((tenths / 10)) $((tenths % 10)) \
      "$(sed -n 's/^[^:]*: SKIP //p' "$log" | head -n 1)"
    skipped=$((skipped + 1))
  elif [ $status = 0 ]; then
    printf 'PASS  %-22s %4d.%ds\n' "$name" $((tenths / 10)) $((tenths % 10))
    passed=$((passed + 1))
  else
    printf 'FAIL  %-22s %4d.%ds  (exit %d)\n' "$name" $((tenths / 10)) $((tenths % 10)) $status
    failed+=("$name")
    cp "$log" "$shared/$name.failed"
  fi
done

echo "e2e: ${passed} passed, ${skipped} skipped, ${#failed[@]} failed, $(($(date +%s) - started))s in all"
for name in "${failed[@]}"; do
  echo "----- output of $name -----"
  cat "$shared/$name.failed"
done
[ ${#failed[@]} = 0 ]
