#!/usr/bin/env bash
# Makes a 32-bit Wine prefix as the card finds Windows: booted, with the
# fonts Windows has (Tahoma, MS Sans Serif, ...) installed into it. Used by
# tools/run.sh and by the end-to-end tests (tests/support/harness.py).
# Usage: tools/wine_prefix.sh PREFIX [DESKTOP_SIZE]
# With DESKTOP_SIZE (e.g. 1024x768) every program of the prefix shares a
# virtual desktop named "shell", on which Wine shows a taskbar with a tray.
# A prefix that is ready (it has .cloudwick-ready) is left as it is.
set -euo pipefail
prefix="$1"
desktop="${2:-}"
export WINEARCH=win32 WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
[ -f "$prefix/.cloudwick-ready" ] && exit 0

for tool in wine wineboot wineserver; do
  command -v "$tool" >/dev/null || { echo "wine_prefix: $tool is missing (bash tools/setup.sh installs it)" >&2; exit 1; }
done
unset DISPLAY  # set-up needs no screen
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
timeout 240 wineboot -i >/dev/null 2>&1 || true
if [ -n "$desktop" ]; then
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d "$desktop" /f >/dev/null 2>&1
fi
timeout 120 wineserver -w || true
if [ ! -d "$prefix/drive_c/windows/system32" ]; then
  echo "wine_prefix: wineboot did not make a prefix in $prefix" >&2
  exit 1
fi
# Debian's Wine does not find the fonts it ships (fonts-wine): without them
# every caption falls back to a wider face and wraps.
mkdir -p "$prefix/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
touch "$prefix/.cloudwick-ready"
