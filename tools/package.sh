#!/usr/bin/env bash
# Makes the download for Windows users: out/dist/cloudwick-<version>-win32.zip
# holding Cloudwick.exe, cloudwick-feed.exe and README.txt. The version is
# CLOUDWICK_VERSION_TEXT from resources/version.h.
# Usage: tools/package.sh [windows build folder] [output folder]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
win="${1:-$root/build/win}"
dist="${2:-$root/out/dist}"

version="$(sed -n 's/^#define CLOUDWICK_VERSION_TEXT "\(.*\)"$/\1/p' "$root/resources/version.h")"
if [ -z "$version" ]; then
  echo "package: no CLOUDWICK_VERSION_TEXT in resources/version.h" >&2
  exit 1
fi
for exe in Cloudwick.exe cloudwick-feed.exe; do
  if [ ! -f "$win/$exe" ]; then
    echo "package: $win/$exe is missing; build the Windows tree first (tools/build.sh)" >&2
    exit 1
  fi
done

mkdir -p "$dist"
zip="$dist/cloudwick-$version-win32.zip"
# The read-me with Windows line ends, so every Notepad shows its lines.
python3 - "$zip" "$win" "$root/tools/dist_readme.txt" "$version" <<'PY'
import sys, time, zipfile
zip_path, win, readme, version = sys.argv[1:]
text = open(readme, encoding="ascii").read().replace("@VERSION@", version)
stamp = time.localtime()[:6]
def add(z, name, data):
    info = zipfile.ZipInfo(name, stamp)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    z.writestr(info, data)
tmp = zip_path + ".part"
with zipfile.ZipFile(tmp, "w") as z:
    for exe in ("Cloudwick.exe", "cloudwick-feed.exe"):
        add(z, exe, open("%s/%s" % (win, exe), "rb").read())
    add(z, "README.txt", text.replace("\n", "\r\n").encode("ascii"))
import os
os.replace(tmp, zip_path)
PY
echo "package: $zip"
