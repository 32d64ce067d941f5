#!/bin/sh
# Installs, on a Debian 12 machine, whatever the build, the tests and the
# demo need and is not there yet, and says what it installs. Runs apt-get,
# so it needs root when something is missing.
set -eu

packages="cmake make g++ python3 xxd libgtest-dev clang-14 libclang-rt-14-dev
  g++-mingw-w64-i686 wine wine32:i386 xvfb xdotool imagemagick x11-utils
  default-jdk-headless libjlha-java lhasa locales fonts-ipafont-gothic
  osslsigncode openssl"

missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing="$missing $package"
done
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1
need_locale=0
locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' || need_locale=1

if [ -z "$missing" ] && [ $need_i386 = 0 ] && [ $need_locale = 0 ]; then
  echo "deps: everything needed is installed"
  exit 0
fi
if [ "$(id -u)" != 0 ]; then
  echo "deps: missing:$missing; run this as root (or install them) first" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [ $need_i386 = 1 ]; then
  echo "deps: adding the i386 architecture (for the 32-bit Wine runtime)"
  dpkg --add-architecture i386
fi
if [ -n "$missing" ]; then
  echo "deps: installing:$missing"
  apt-get update -qq
  # shellcheck disable=SC2086
  apt-get install -y -qq $missing >/dev/null
fi
if [ $need_locale = 1 ]; then
  echo "deps: generating the ja_JP.UTF-8 locale (Wine's Japanese code page and fonts)"
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
echo "deps: done"
