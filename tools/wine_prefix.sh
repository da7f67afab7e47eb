#!/usr/bin/env bash
# Makes a 32-bit Wine prefix with Wine's own fonts installed into it.
# Usage: tools/wine_prefix.sh PREFIX
set -euo pipefail
prefix="$1"
export WINEARCH=win32 WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
if [ ! -f "$prefix/.cloudwick-ready" ]; then
  rm -rf "$prefix"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
  # Debian's Wine does not find its own fonts: without them the captions
  # fall back to a wider face and wrap.
  mkdir -p "$prefix/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  touch "$prefix/.cloudwick-ready"
fi
