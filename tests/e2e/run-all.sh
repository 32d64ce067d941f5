#!/bin/bash
# Runs every end-to-end test (tests/e2e/t_*.sh), or the ones named on the
# command line, VORN_E2E_JOBS at a time (default: one per processor; each
# test has its own display, prefix and wineserver); prints one line per test
# as it ends and a summary, shows the output of each failed test, and exits
# non-zero if any failed. Every test's log is kept in VORN_E2E_LOGS
# (default build/e2e-logs). The Wine prefix is made once here and each test
# starts from a copy of it.
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
logs=${VORN_E2E_LOGS:-$repo/build/e2e-logs}
rm -rf "$logs"
mkdir -p "$VORN_E2E_CACHE" "$shared/results" "$logs"
jobs=${VORN_E2E_JOBS:-$(nproc)}
# A test that outlives this is stopped and fails (under emulation each
# test takes minutes, so the limit grows with the slowdown).
test_limit=${VORN_E2E_TEST_TIMEOUT:-$(. "$here/lib.sh" && stretched 600)}

started=$(date +%s)
echo "e2e: preparing the Wine prefix (Japanese code page, fonts)"
if ! (. "$here/lib.sh" && e2e_make_prefix "$shared/template" "$shared/template-home"); then
  echo "e2e: could not make a Wine prefix" >&2
  exit 2
fi
export VORN_E2E_TEMPLATE=$shared/template
echo "e2e: prefix ready after $(($(date +%s) - started))s; running ${#tests[@]} tests, $jobs at a time"

# run_one TEST: runs it into its log and prints its line; its result is
# left in results/NAME for the summary.
run_one() {
  local test=$1 name log status tenths result line begin
  name=$(basename "$test" .sh)
  log=$logs/$name.log
  begin=$(date +%s%N)
  timeout --kill-after=20 "$test_limit" bash "$test" >"$log" 2>&1
  status=$?
  tenths=$((($(date +%s%N) - begin) / 100000000))
  line=$(printf '%-22s %4d.%ds' "$name" $((tenths / 10)) $((tenths % 10)))
  if [ $status = 0 ] && grep -q ": SKIP" "$log"; then
    result=SKIP
    line="$line  $(sed -n 's/^[^:]*: SKIP //p' "$log" | head -n 1)"
  elif [ $status = 0 ]; then
    result=PASS
  else
    result=FAIL
    line="$line  (exit $status)"
  fi
  echo "$result" >"$shared/results/$name"
  printf '%-4s  %s\n' "$result" "$line"
}

for test in "${tests[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  run_one "$test" &
done
wait

passed=$(grep -lx PASS "$shared"/results/* 2>/dev/null | wc -l)
skipped=$(grep -lx SKIP "$shared"/results/* 2>/dev/null | wc -l)
failed=()
for test in "${tests[@]}"; do
  name=$(basename "$test" .sh)
  grep -qx -e PASS -e SKIP "$shared/results/$name" 2>/dev/null || failed+=("$name")
done
echo "e2e: ${passed} passed, ${skipped} skipped, ${#failed[@]} failed, $(($(date +%s) - started))s in all (logs in $logs)"
for name in "${failed[@]}"; do
  echo "----- output of $name -----"
  cat "$logs/$name.log"
done
[ ${#failed[@]} = 0 ]
