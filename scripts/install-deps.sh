#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# the machine lacks. Safe to run again: installed packages are skipped.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkgconf
  libicu-dev libcurl4-openssl-dev qt6-base-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev valgrind
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64
  tinyproxy curl xvfb x11-utils xdotool imagemagick fonts-wqy-microhei fonts-wine
)

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: run as root (apt-get needs it)" >&2
  exit 1
fi

# 32-bit Wine, for running the shipped 32-bit program, needs Debian's i386 packages.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "install-deps: adding the i386 architecture (32-bit Wine)"
  dpkg --add-architecture i386
  rm -f /var/lib/apt/lists/lock.updated
fi
packages+=(wine32:i386)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything needed is installed"
  exit 0
fi
echo "install-deps: installing ${missing[*]}"
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
