#!/bin/bash
# with-wine.sh COMMAND [ARGUMENT...]: runs COMMAND (the end-to-end tests, the
# demo, the stub bench) where 32-bit Wine can run. That is this machine when
# its kernel runs 32-bit programs; on a kernel booted with its 32-bit
# emulation off, nothing 32-bit runs at all, and COMMAND runs inside the
# Wine guest instead (scripts/wine-guest/run.sh: Debian's kernel under
# full-system emulation with this machine's packages).
#
# VORN_E2E chooses: auto (the default) probes this machine, vm always uses
# the guest, direct never does.
set -u
here=$(cd "$(dirname "$0")" && pwd)
[ $# -gt 0 ] || { echo "usage: with-wine.sh COMMAND [ARGUMENT...]" >&2; exit 2; }

case "${VORN_E2E:-auto}" in
  auto)
    if reason=$("$here/wine-guest/runs-32bit.sh" -v 2>&1); then
      exec "$@"
    fi
    echo "wine: $reason"
    echo "wine: running Wine inside an emulated Debian guest (VORN_E2E=direct would not use it)"
    exec "$here/wine-guest/run.sh" "$@"
    ;;
  vm)
    echo "wine: VORN_E2E=vm: running Wine inside an emulated Debian guest"
    exec "$here/wine-guest/run.sh" "$@"
    ;;
  direct)
    if ! reason=$("$here/wine-guest/runs-32bit.sh" -v 2>&1); then
      echo "wine: VORN_E2E=direct, but $reason; unset VORN_E2E to use the emulated guest" >&2
      exit 2
    fi
    exec "$@"
    ;;
  *)
    echo "wine: VORN_E2E is auto, vm or direct, not ${VORN_E2E}" >&2
    exit 2
    ;;
esac
