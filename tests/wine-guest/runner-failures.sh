#!/bin/bash
# The Wine guest's runner (scripts/wine-guest/run.sh) must never let the
# end-to-end tests pass or vanish silently: whatever keeps the guest from
# running the job ends the run with exit status 2 and a message that says
# which. Each case below breaks one thing and checks the message; the last
# one runs a job for real and checks that its exit status and output come
# back. Runs on every machine (the guest can run anywhere). A case that
# cannot be set up here is reported as not tried, and counted apart from
# those that passed.
set -u
repo=$(cd "$(dirname "$0")/../.." && pwd)
runner=$repo/scripts/wine-guest/run.sh
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vorn-guest-runner.XXXXXX")
mounted=""
trap '[ -n "$mounted" ] && umount "$mounted"; rm -rf "$scratch"' EXIT
failures=0 passed=0 untried=()

# expect NAME PATTERN STATUS COMMAND...: COMMAND ends with STATUS and says
# something matching PATTERN (grep -E).
expect() {
  local name=$1 pattern=$2 wanted=$3 status begin
  shift 3
  begin=$(date +%s)
  "$@" >"$scratch/out" 2>&1
  status=$?
  if [ "$status" = "$wanted" ] && grep -Eq -- "$pattern" "$scratch/out"; then
    printf 'PASS  %-34s %4ds  %s\n' "$name" $(($(date +%s) - begin)) "$(grep -E -m 1 -- "$pattern" "$scratch/out")"
    passed=$((passed + 1))
  else
    printf 'FAIL  %-34s exit %s (expected %s and /%s/); output:\n' "$name" "$status" "$wanted" "$pattern"
    sed 's/^/      /' "$scratch/out"
    failures=$((failures + 1))
  fi
}

# not_tried NAME REASON: a case that cannot be set up here.
not_tried() {
  printf 'NOT TRIED  %-29s %s\n' "$1" "$2"
  untried+=("$1")
}

# No qemu: every command of the system but qemu-system-x86_64.
mkdir "$scratch/bin"
for dir in /usr/local/bin /usr/bin /bin /usr/sbin /sbin; do
  for tool in "$dir"/*; do
    name=$(basename "$tool")
    [ "$name" = qemu-system-x86_64 ] || [ -e "$scratch/bin/$name" ] || ln -s "$tool" "$scratch/bin/$name"
  done
done
expect "no qemu" "ERROR: qemu-system-x86_64 is missing" 2 env PATH="$scratch/bin" "$runner" true

# No disk for the boot files: a folder that cannot be made, and a disk
# that is full.
expect "no folder for the boot files" "ERROR: cannot make the guest's cache folder" 2 \
  env VORN_GUEST_CACHE=/proc/vorn-guest "$runner" true
mkdir "$scratch/full"
if mount -t tmpfs -o size=1m vorn-guest-full "$scratch/full" 2>/dev/null; then
  mounted=$scratch/full
  expect "no room for the boot files" "ERROR: only [0-9]+ MiB free .* needs 400 MiB" 2 \
    env VORN_GUEST_CACHE="$scratch/full/cache" "$runner" true
else
  not_tried "no room for the boot files" "no tmpfs can be mounted here (not root?)"
fi

# The real boot files, made now if no earlier run kept them.
boot=$("$repo/scripts/wine-guest/build.sh") || { echo "FAIL  could not make the guest's boot files"; exit 1; }

# Boot failures: no kernel at all, a kernel with nothing to start, a guest
# slower than its limit.
printf 'not a kernel\n' >"$scratch/vmlinuz"
expect "a file that is no kernel" "ERROR: the guest did not come up; qemu said: .*kernel" 2 \
  env VORN_GUEST_KERNEL="$scratch/vmlinuz" "$runner" true
expect "a kernel without its RAM disk" "ERROR: the guest did not come up: Kernel panic" 2 \
  env VORN_GUEST_KERNEL="$boot/vmlinuz" VORN_GUEST_INITRD= "$runner" true
expect "a boot slower than its limit" "ERROR: the guest did not come up within 1s" 2 \
  env VORN_GUEST_BOOT_TIMEOUT=1 "$runner" true

# A share missing: the kept RAM disk without its 9p modules.
if ! python3 - "$repo/scripts/wine-guest" "$boot/initrd.gz" "$scratch/no9p.gz" <<'PY'
import gzip, sys
sys.path.insert(0, sys.argv[1])
from initramfs import Cpio

data = gzip.open(sys.argv[2]).read()
with gzip.open(sys.argv[3], "wb") as out:
    cpio = Cpio(out)
    pos = 0
    while True:
        field = lambda index: int(data[pos + 6 + 8 * index:pos + 14 + 8 * index], 16)
        mode, size, name_size = field(1), field(6), field(11)
        name = data[pos + 110:pos + 109 + name_size].decode()
        start = pos + 110 + name_size + (-(110 + name_size) % 4)
        body = data[start:start + size]
        pos = start + size + (-size % 4)
        if name == "TRAILER!!!":
            break
        if name == "modules/order":
            body = b"".join(line + b"\n" for line in body.split() if not line.startswith(b"9p"))
        if not name.startswith("modules/9p"):
            cpio.entry(name, mode, body)
    cpio.end()
PY
then
  echo "FAIL  could not make a RAM disk without 9p"
  failures=$((failures + 1))
fi
expect "the host's files not shared" "ERROR: the host's root file system is not shared" 2 \
  env VORN_GUEST_KERNEL="$boot/vmlinuz" VORN_GUEST_INITRD="$scratch/no9p.gz" "$runner" true

# A job that never ends.
expect "a job that outlives its limit" "ERROR: the guest came to no end within 30s" 2 \
  env VORN_GUEST_TIMEOUT=30 "$runner" sleep 1000

# And one that runs: its output and exit status come back.
expect "a job's output and exit status" "^job: 32-bit ok in $repo\$" 7 \
  "$runner" bash -c 'scripts/wine-guest/runs-32bit.sh -v && echo "job: 32-bit ok in $PWD"; exit 7'

summary="$passed passed, $failures wrong, ${#untried[@]} not tried"
[ ${#untried[@]} = 0 ] || summary="$summary ($(printf '%s, ' "${untried[@]}" | sed 's/, $//'))"
echo "guest runner: $summary"
[ $failures = 0 ]
