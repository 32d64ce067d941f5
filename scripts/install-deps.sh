#!/bin/sh
# Installs, on a Debian 12 machine, whatever the build, the tests and the
# demo need and is not there yet, and says what it installs. Runs apt-get,
# so it needs root when something is missing.
#
# Wine and its 32-bit runtime are installed on every machine, and so is
# qemu: where the kernel runs no 32-bit code, the Wine tests run in an
# emulated guest (scripts/wine-guest) that uses this machine's own
# packages, and the tests of that guest's runner run everywhere. 64-bit
# Wine (wine64) runs mksfx.exe on this machine whatever its kernel; zip
# packs the Windows release (make dist).
set -eu

packages="cmake make g++ python3 xxd libgtest-dev clang-14 libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xdotool
  imagemagick x11-utils default-jdk-headless libjlha-java lhasa locales
  fonts-ipafont-gothic osslsigncode openssl zip"

# Without the graphical front ends and firmware qemu recommends.
bare_packages="qemu-system-x86"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }
missing=""
for package in $packages; do
  installed "$package" || missing="$missing $package"
done
missing_bare=""
for package in $bare_packages; do
  installed "$package" || missing_bare="$missing_bare $package"
done
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1
need_locale=0
locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' || need_locale=1

if [ -z "$missing$missing_bare" ] && [ $need_i386 = 0 ] && [ $need_locale = 0 ]; then
  echo "deps: everything needed is installed"
  exit 0
fi
if [ "$(id -u)" != 0 ]; then
  echo "deps: missing:$missing$missing_bare; run this as root (or install them) first" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [ $need_i386 = 1 ]; then
  echo "deps: adding the i386 architecture (for the 32-bit Wine runtime)"
  dpkg --add-architecture i386
fi
if [ -n "$missing$missing_bare" ]; then
  echo "deps: installing:$missing$missing_bare"
  apt-get update -qq
  # shellcheck disable=SC2086
  [ -z "$missing" ] || apt-get install -y -qq $missing >/dev/null
  # shellcheck disable=SC2086
  [ -z "$missing_bare" ] || apt-get install -y -qq --no-install-recommends $missing_bare >/dev/null
fi
if [ $need_locale = 1 ]; then
  echo "deps: generating the ja_JP.UTF-8 locale (Wine's Japanese code page and fonts)"
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
echo "deps: done"
