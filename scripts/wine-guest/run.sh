#!/bin/bash
# run.sh COMMAND [ARGUMENT...]: runs COMMAND in the work tree inside the Wine
# guest, a Debian system under full-system emulation whose kernel runs
# 32-bit programs, for machines whose own kernel does not. Prints the
# guest's output as it comes and exits with the command's exit status, or
# with 2 and a message saying what went wrong (no qemu, no disk, the guest
# did not boot or came to no end in time, a share missing).
#
# The job and what the guest leaves (console log, exit status) are in
# build/wine-guest/ of the work tree. Settings:
#   VORN_GUEST_ACCEL    tcg (the default: software emulation, which runs
#                       everywhere) or kvm (where nested KVM works)
#   VORN_GUEST_CPU      the emulated processor under tcg (default max,smap=off:
#                       with SMAP on, this qemu's TCG faulted the kernel when
#                       Wine returned to 32-bit code)
#   VORN_GUEST_CPUS     processors of the guest (default: the host's)
#   VORN_GUEST_MEMORY   MiB of memory (default 4096)
#   VORN_GUEST_BOOT_TIMEOUT  seconds until the guest must be up (default 300)
#   VORN_GUEST_TIMEOUT  seconds the whole run may take (default 3600)
#   VORN_GUEST_KERNEL, VORN_GUEST_INITRD  other boot files (for tests)
# Every variable whose name begins with VORN_E2E_, VORN_STUB or BENCH_ is
# passed on to the command.
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
say() { echo "guest: $*"; }
die() { echo "guest: ERROR: $*" >&2; exit 2; }

[ $# -gt 0 ] || die "usage: run.sh COMMAND [ARGUMENT...]"
qemu=$(command -v qemu-system-x86_64) ||
  die "qemu-system-x86_64 is missing, so the guest cannot run (scripts/install-deps.sh installs qemu-system-x86)"
case "$repo" in
  *[!A-Za-z0-9/._+-]*) die "the work tree's path $repo holds characters the kernel command line cannot carry" ;;
esac

if [ -n "${VORN_GUEST_KERNEL:-}" ]; then
  kernel=$VORN_GUEST_KERNEL initrd=${VORN_GUEST_INITRD:-}
else
  boot=$("$here/build.sh") || exit 2
  kernel=$boot/vmlinuz initrd=$boot/initrd.gz
fi

accel=${VORN_GUEST_ACCEL:-tcg}
case "$accel" in
  kvm) machine=(-accel kvm -cpu host) ;;
  tcg) machine=(-accel tcg,thread=multi -cpu "${VORN_GUEST_CPU:-max,smap=off}") ;;
  *) die "VORN_GUEST_ACCEL is kvm or tcg, not $accel" ;;
esac
cpus=${VORN_GUEST_CPUS:-$(nproc)}
memory=${VORN_GUEST_MEMORY:-4096}
boot_limit=${VORN_GUEST_BOOT_TIMEOUT:-300}
limit=${VORN_GUEST_TIMEOUT:-3600}

run=$repo/build/wine-guest
rm -rf "$run"
mkdir -p "$run" 2>/dev/null && touch "$run/console.log" 2>/dev/null ||
  die "cannot write the guest's run folder $run"
# The job: the caller's folder and settings, then the command. Programs
# under emulation start 10 to 15 times slower than on the host, which the
# end-to-end tests' time limits allow for (VORN_E2E_SLOWDOWN).
{
  echo "# Written by scripts/wine-guest/run.sh; run by the guest's init."
  echo "export LANG=C.UTF-8 TMPDIR=/tmp VORN_WINE_GUEST=$accel"
  [ "$accel" = tcg ] && echo "export VORN_E2E_SLOWDOWN=\${VORN_E2E_SLOWDOWN:-10}"
  [ "$accel" = kvm ] && echo "export VORN_E2E_SLOWDOWN=\${VORN_E2E_SLOWDOWN:-2}"
  env | grep -E '^(VORN_E2E_|VORN_STUB=|BENCH_)' | while IFS= read -r setting; do
    printf 'export %q\n' "$setting"
  done
  printf 'cd %q || exit 2\n' "$PWD"
  printf 'exec'
  printf ' %q' "$@"
  echo
} >"$run/job.sh"

# norandmaps: every process maps its libraries at the same addresses, so
# the emulator translates their code once and reuses it in every later
# process (with random addresses each Wine program began from scratch:
# programs started about three times slower).
say "booting Debian's kernel under $accel emulation ($cpus CPUs, $memory MiB) with this machine's packages"
started=$(date +%s)
timeout --kill-after=10 "$limit" "$qemu" "${machine[@]}" -smp "$cpus" -m "$memory" \
  -nodefaults -no-user-config -display none -no-reboot \
  -kernel "$kernel" ${initrd:+-initrd "$initrd"} \
  -append "console=ttyS0 quiet panic=-1 norandmaps vorn_work=$repo vorn_run=$run" \
  -serial "file:$run/console.log" \
  -device virtio-rng-pci \
  -fsdev local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap \
  -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
  -fsdev "local,id=work,path=$repo,security_model=none,multidevs=remap" \
  -device virtio-9p-pci,fsdev=work,mount_tag=work \
  </dev/null >"$run/qemu.log" 2>&1 &
qemu_pid=$!

# Show the guest's console as it comes (without the carriage returns of the
# serial line) and watch that it boots in time.
tail --pid="$qemu_pid" -n +1 -F "$run/console.log" 2>/dev/null | sed -u 's/\r$//' &
booted=0
while kill -0 "$qemu_pid" 2>/dev/null; do
  if [ $booted = 0 ]; then
    if grep -q '^guest: up' "$run/console.log"; then
      booted=1
    elif [ $(($(date +%s) - started)) -ge "$boot_limit" ]; then
      kill "$qemu_pid" 2>/dev/null
      wait
      die "the guest did not come up within ${boot_limit}s (its console: $run/console.log)"
    fi
  fi
  sleep 1
done
wait "$qemu_pid"
qemu_status=$?
wait
# A job shorter than one look of the loop above.
grep -q '^guest: up' "$run/console.log" && booted=1
elapsed=$(($(date +%s) - started))

if [ -f "$run/status" ]; then
  status=$(cat "$run/status")
  say "the guest ran for ${elapsed}s"
  exit "$status"
fi
reason=$(tr -d '\r' <"$run/console.log" | sed -n 's/^guest: ERROR: //p' | tail -n 1)
[ -n "$reason" ] && die "$reason"
[ $qemu_status = 124 ] || [ $qemu_status = 137 ] &&
  die "the guest came to no end within ${limit}s and was stopped (its console: $run/console.log)"
if [ $booted = 0 ]; then
  panic=$(tr -d '\r' <"$run/console.log" | grep -m 1 -o 'Kernel panic.*')
  [ -n "$panic" ] && die "the guest did not come up: $panic"
  die "the guest did not come up; qemu said: $(tail -n 3 "$run/qemu.log" | tr '\n' ' ')"
fi
die "the guest stopped without an exit status (qemu exit $qemu_status; its console: $run/console.log)"
