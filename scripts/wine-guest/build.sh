#!/bin/bash
# build.sh: makes the Wine guest's boot files once and prints the folder
# that holds them (vmlinuz, initrd.gz). The guest is Debian's own kernel,
# whose 32-bit emulation is on, and a small initial RAM disk (busybox, the
# 9p and overlay modules, ./init); its user space is the host's own, shared
# read-only, so the guest runs exactly the packages scripts/install-deps.sh
# installed here. Both packages come from Debian's archive (apt-get
# download; nothing is installed on the host).
#
# The files are kept in $VORN_GUEST_CACHE (default ~/.cache/vorn-wine-guest),
# in a folder named after a hash of these scripts and of the two packages'
# versions: a new kernel or busybox in the archive, or a change to the
# scripts, makes a new one (and the old one is removed).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
say() { echo "guest: $*" >&2; }
die() { echo "guest: ERROR: $*" >&2; exit 2; }

cache=${VORN_GUEST_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vorn-wine-guest}

candidate() { apt-cache policy "$1" 2>/dev/null | sed -n 's/^ *Candidate: //p' | grep -v '^(none)$' || true; }
kernel_package() { apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[0-9].*\)/\1/p' | head -n 1; }

kernel=$(kernel_package)
if [ -z "$kernel" ] || [ -z "$(candidate busybox-static)" ]; then
  say "reading Debian's package lists"
  apt-get update -qq >/dev/null 2>&1 || true
  kernel=$(kernel_package)
fi
[ -n "$kernel" ] || die "Debian's package lists name no kernel (linux-image-amd64); is the archive reachable?"
kernel_version=$(candidate "$kernel")
busybox_version=$(candidate busybox-static)
[ -n "$kernel_version" ] && [ -n "$busybox_version" ] ||
  die "no candidate for $kernel or busybox-static in Debian's package lists"

key=$( { cat "$here/build.sh" "$here/init" "$here/initramfs.py"; echo "$kernel $kernel_version busybox-static $busybox_version"; } |
  sha256sum | cut -c 1-16)
ready=$cache/$key
if [ -f "$ready/vmlinuz" ] && [ -f "$ready/initrd.gz" ]; then
  say "boot files kept from an earlier run ($ready)"
  echo "$ready"
  exit 0
fi

mkdir -p "$cache" 2>/dev/null || die "cannot make the guest's cache folder $cache"
free_kib=$(df -Pk "$cache" | awk 'NR == 2 { print $4 }')
[ "${free_kib:-0}" -ge 400000 ] ||
  die "only $((${free_kib:-0} / 1024)) MiB free at $cache; making the guest's boot files needs 400 MiB"
say "making the boot files from $kernel $kernel_version and busybox-static $busybox_version"
scratch=$(mktemp -d "$cache/.making.XXXXXX") || die "cannot write to $cache"
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && apt-get download "$kernel" busybox-static >/dev/null 2>"$scratch/download.log") ||
  die "could not download $kernel and busybox-static: $(tail -n 1 "$scratch/download.log")"
for deb in "$scratch"/*.deb; do dpkg-deb -x "$deb" "$scratch/root"; done
modules=$(echo "$scratch"/root/lib/modules/*)
[ -d "$modules" ] || die "the kernel package holds no modules"
mkdir "$scratch/ready"
cp "$scratch"/root/boot/vmlinuz-* "$scratch/ready/vmlinuz"
python3 "$here/initramfs.py" "$scratch/ready/initrd.gz" "$scratch/root/bin/busybox" "$here/init" "$modules" \
  virtio_pci 9pnet_virtio 9p overlay || die "could not make the initial RAM disk"
rm -rf "$ready"
mv "$scratch/ready" "$ready"
find "$cache" -mindepth 1 -maxdepth 1 -not -name "$key" -exec rm -rf {} +
say "boot files ready: $(du -sh "$ready" | cut -f 1) in $ready"
echo "$ready"
