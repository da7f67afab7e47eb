#!/usr/bin/env bash
# Makes the download for Windows users: out/dist/cloudwick-<version>-win32.zip
# holding Cloudwick.exe, cloudwick-feed.exe, README.txt and the Group Policy
# template (policy/Cloudwick.admx, policy/en-US/Cloudwick.adml), and beside it the
# installer out/dist/cloudwick-<version>-win32.msi (built with wixl from
# tools/cloudwick.wxs). The version is CLOUDWICK_VERSION_TEXT from
# resources/version.h.
# Usage: tools/package.sh [--msi-version X.Y] [windows build folder] [output folder]
#   --msi-version X.Y  makes only an installer that says version X.Y (with
#                      the same programs), for trying upgrades
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
msi_version=""
if [ "${1:-}" = "--msi-version" ]; then
  msi_version="$2"
  shift 2
  if ! [[ "$msi_version" =~ ^[0-9]{1,3}\.[0-9]{1,3}(\.[0-9]{1,5})?$ ]]; then
    echo "package: --msi-version wants numbers like 1.24, not '$msi_version'" >&2
    exit 2
  fi
fi
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
# wixl reads the files by names relative to where it runs: a folder of
# their own, with the read-me's Windows line ends, so every Notepad shows its lines.
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
cp "$win/Cloudwick.exe" "$win/cloudwick-feed.exe" "$stage/"
sed -e "s/@VERSION@/${msi_version:-$version}/" -e 's/$/\r/' "$root/tools/dist_readme.txt" >"$stage/README.txt"

# The installer: wixl builds it; what wixl does not write (component
# conditions (true at removal too: Wine leaves a component whose condition
# is false then, and does not restore ALLUSERS=1 for the removal of a
# machine-wide install), where the old version is removed, which properties pass to the
# install's server side, upgrades from the same version) is set afterwards.
make_msi() {
  local v="$1" out="$2" product="$1.0"
  [[ "$v" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] && product="$v"
  if ! command -v wixl >/dev/null || ! command -v msibuild >/dev/null; then
    echo "package: wixl and msibuild are missing (msitools, wixl; tools/setup.sh installs them)" >&2
    exit 1
  fi
  local code="{6F1C2A4E-8D3B-4F5A-9C7E-2B1D0E3F4A51}"
  local tmp="$out.part"
  rm -f "$tmp"
  (cd "$stage" && wixl -a x86 -D Version="$product" -D WinDir=. -D Readme=README.txt \
       -o "$tmp" "$root/tools/cloudwick.wxs" 2> >(grep -v "has no property named\|^$" >&2))
  local q=(
    "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('CloseBeforeUpgrade', 98, 'INSTALLDIR', '\"[INSTALLDIR]cloudwick-feed.exe\" --upgrading')"
    "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('CloseBeforeUpgrade', 'WIX_UPGRADE_DETECTED AND NOT REMOVE', 1401)"
    "UPDATE InstallExecuteSequence SET Sequence=1402 WHERE Action='RemoveExistingProducts'"
    "UPDATE Component SET Condition='STARTWITHWINDOWS AND STARTWITHWINDOWS<>\"0\" AND ALLUSERS<>1' WHERE Component='RunForUser'"
    "UPDATE Component SET Condition='STARTWITHWINDOWS AND STARTWITHWINDOWS<>\"0\" AND (ALLUSERS=1 OR REMOVE=\"ALL\")' WHERE Component='RunForMachine'"
    "UPDATE Component SET Condition='FEEDHOST AND (ALLUSERS=1 OR REMOVE=\"ALL\")' WHERE Component='FeedHostPolicy'"
    "UPDATE Component SET Condition='FEEDHOST AND ALLUSERS<>1' WHERE Component='FeedHostSetting'"
    "UPDATE Property SET Value='WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;STARTWITHWINDOWS;FEEDHOST' WHERE Property='SecureCustomProperties'"
    "DELETE FROM Upgrade WHERE ActionProperty='WIX_UPGRADE_DETECTED'"
    "INSERT INTO Upgrade (UpgradeCode, VersionMin, VersionMax, Attributes, ActionProperty) VALUES ('$code', '0.0.0', '$product', 769, 'WIX_UPGRADE_DETECTED')"
  )
  local args=()
  for x in "${q[@]}"; do args+=(-q "$x"); done
  msibuild "$tmp" "${args[@]}"
  mv "$tmp" "$out"
  echo "package: $out"
}

if [ -n "$msi_version" ]; then
  make_msi "$msi_version" "$dist/cloudwick-$msi_version-win32.msi"
  exit 0
fi

zip="$dist/cloudwick-$version-win32.zip"
# The read-me with Windows line ends, so every Notepad shows its lines.
python3 - "$zip" "$win" "$root/tools/dist_readme.txt" "$version" "$root/tools/policy" <<'PY'
import sys, time, zipfile
zip_path, win, readme, version, policy = sys.argv[1:]
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
    # The Group Policy template, for administrators.
    for name in ("Cloudwick.admx", "en-US/Cloudwick.adml"):
        add(z, "policy/" + name, open("%s/%s" % (policy, name), "rb").read())
import os
os.replace(tmp, zip_path)
PY
echo "package: $zip"
make_msi "$version" "$dist/cloudwick-$version-win32.msi"
