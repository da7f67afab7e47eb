#!/usr/bin/env bash
# Builds Cloudwick.exe (MinGW, 32-bit Windows) and the native tree (core
# tests, feed service, benchmarks). Usage: tools/build.sh [build-root]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build}"
jobs="${JOBS:-$(nproc)}"

cmake -S "$root" -B "$out/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out/win" -j "$jobs"

cmake -S "$root" -B "$out/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCLOUDWICK_EXE="$out/win/Cloudwick.exe" -DPROBE_EXE="$out/win/probe.exe" >/dev/null
cmake --build "$out/native" -j "$jobs"
