#!/usr/bin/env bash
# Builds Cloudwick.exe (MinGW, 32-bit Windows) and the native tree (core
# tests, feed service, benchmarks). Usage: tools/build.sh [build-root]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build}"
jobs="${JOBS:-$(nproc)}"

cmake -S "$root" -B "$out/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
# The native tree only names the Windows exes (for the tests): both trees
# build at once, so that neither's last long compile (the fuzz targets, the
# service exe) leaves a core idle.
cmake -S "$root" -B "$out/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCLOUDWICK_EXE="$out/win/Cloudwick.exe" -DPROBE_EXE="$out/win/probe.exe" >/dev/null
cmake --build "$out/win" -j "$jobs" &
win=$!
native_rc=0
cmake --build "$out/native" -j "$jobs" || native_rc=$?
win_rc=0
wait "$win" || win_rc=$?
[ "$win_rc" -eq 0 ] || echo "build: the Windows tree failed ($win_rc)" >&2
[ "$native_rc" -eq 0 ] || echo "build: the native tree failed ($native_rc)" >&2
[ "$win_rc" -eq 0 ] && [ "$native_rc" -eq 0 ]
