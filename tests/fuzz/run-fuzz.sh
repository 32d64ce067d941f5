#!/bin/sh
# Runs the libFuzzer harnesses of a fuzz build, one after the other.
#
#   run-fuzz.sh BUILD SECONDS [HARNESS...]   fuzz each harness SECONDS seconds
#       from BUILD/corpus/<harness> (which keeps what it finds) and the kept
#       crashers; a new crasher goes to BUILD/artifacts/<harness>/, the log
#       to BUILD/logs/<harness>.log (`make fuzz`)
#   run-fuzz.sh --smoke BUILD SECONDS HARNESS  the same into a scratch corpus
#       (`make test`)
#   run-fuzz.sh --regressions BUILD 0 HARNESS  every input of
#       tests/fuzz/regressions/<harness>/ once (`make test`)
#
# Exits non-zero when a harness fails.
set -u
mode=fuzz
case "${1:-}" in
  --smoke | --regressions) mode=${1#--}; shift ;;
esac
if [ $# -lt 2 ]; then
  echo "usage: $0 [--smoke|--regressions] BUILD SECONDS [HARNESS...]" >&2
  exit 2
fi
build=$1 seconds=$2
shift 2
[ $# -gt 0 ] || set -- extract decode config_block command_line
here=$(cd "$(dirname "$0")" && pwd)

# Longest input each harness is given: an archive or a member a few times
# larger than the longest seeds, a block with every text at full length.
options() {
  case $1 in
    extract | decode) echo "-max_len=32768" ;;
    config_block) echo "-max_len=2048" ;;
    command_line) echo "-max_len=1024" ;;
  esac
}

status=0
for harness in "$@"; do
  fuzzer=$build/${harness}_fuzzer
  regressions=$here/regressions/$harness
  [ -d "$regressions" ] || regressions=
  mkdir -p "$build/artifacts/$harness" "$build/logs"
  # A unit that takes 20 seconds counts as a hang.
  common="$(options "$harness") -timeout=20 -artifact_prefix=$build/artifacts/$harness/"
  case $mode in
    regressions)
      [ -n "$regressions" ] || continue
      # shellcheck disable=SC2046
      "$fuzzer" $common $(find "$regressions" -type f | sort) || status=1
      ;;
    smoke)
      rm -rf "$build/smoke/$harness"
      mkdir -p "$build/smoke/$harness"
      # shellcheck disable=SC2086
      "$fuzzer" $common -max_total_time="$seconds" -print_final_stats=1 \
        "$build/smoke/$harness" "$build/corpus/$harness" $regressions || status=1
      ;;
    fuzz)
      log=$build/logs/$harness.log
      echo "fuzz: $harness for $seconds s (log: $log)"
      # shellcheck disable=SC2086
      if ! "$fuzzer" $common -max_total_time="$seconds" -print_final_stats=1 \
        "$build/corpus/$harness" $regressions >"$log" 2>&1; then
        status=1
        echo "fuzz: $harness FAILED; its input is in $build/artifacts/$harness/:"
        grep -E '^(==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written)' "$log" | head -5
      fi
      grep -E '^#[0-9]+.*(DONE|cov:)' "$log" | tail -1
      grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log"
      echo "fuzz: corpus $(find "$build/corpus/$harness" -type f ! -name '.*' | wc -l) inputs"
      ;;
  esac
done
exit $status
