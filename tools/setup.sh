#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine.
# Safe to run again: it skips the package step when every package is present.
set -euo pipefail

PACKAGES=(
  cmake make g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32:i386
  xvfb xdotool imagemagick x11-utils icoutils
  mmdebstrap podman buildah runc wixl msitools
  librsvg2-bin zopfli fonts-dejavu-core fonts-dejavu-extra fonts-wine
  libboost1.81-dev libcpp-httplib-dev libcurl4-openssl-dev nlohmann-json3-dev libssl-dev libicu-dev icu-devtools tzdata
  wrk nginx-light curl ca-certificates
  python3 procps psmisc systemd locales
)

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  missing=("${PACKAGES[@]}")
else
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  # nginx is only for the benchmark, which starts its own on a free port: the
  # package must not start a system nginx on port 80. Debian's installs ask
  # policy-rc.d whether to start a service; for this install the answer is no.
  # Services already running are left as they are.
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
    $SUDO chmod 755 /usr/sbin/policy-rc.d
    trap '$SUDO rm -f /usr/sbin/policy-rc.d' EXIT
  fi
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# A Russian locale for the Wine test of a Cyrillic Windows (ANSI code page 1251).
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
  $SUDO localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
echo "setup: all packages present"
